// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/Exceptions.h"
#include "platform/system/SysUtils.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(StrToInt, AcceptsDecimalAndRejectsEverythingElse)
{
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("-56"), -56);
    EXPECT_EQ(StrToInt("  10000"), 10000);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "12a", "2147483648", " ", "-", "1 ", "0x10"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' ist kein gültiger Integerwert");
        }
    }
}

TEST(SysUtils, AsciiComparisonAndHexDigits)
{
    static_assert(SameText("Music", "mUSIC") && !SameText("it", "it ") && !SameText("\xc4", "\xe4"));
    static_assert(HexDigitValue('0') == 0 && HexDigitValue('a') == 10 && HexDigitValue('F') == 15);
    static_assert(HexDigitValue('g') == -1 && HexDigitValue(U'\uff10') == -1 && HexDigitValue(0) == -1);
}
