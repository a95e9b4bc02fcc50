#include "platform/Application.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

TEST(ErrorBoxText, AppendsStopOnlyAfterCharacterSortingAfterStop)
{
    EXPECT_EQ(ErrorBoxText("Invalid SelStart"), "Invalid SelStart.");
    EXPECT_EQ(ErrorBoxText("Fertig."), "Fertig.");
    EXPECT_EQ(ErrorBoxText("Wirklich!"), "Wirklich!");  // '!' sorts before '.'
    EXPECT_EQ(ErrorBoxText("Pfad/"), "Pfad/.");          // '/' sorts after '.'
    EXPECT_EQ(ErrorBoxText("E/A-Fehler 131"), "E/A-Fehler 131.");
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(IoErrors, ErrnoMapsToCodesAndGermanTexts)
{
    EXPECT_EQ(IoCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(IoCodeFromErrno(ENAMETOOLONG), 3);
    EXPECT_EQ(IoCodeFromErrno(EMFILE), 4);
    EXPECT_EQ(IoCodeFromErrno(EISDIR), 5);
    EXPECT_EQ(IoCodeFromErrno(EROFS), 5);
    EXPECT_EQ(IoCodeFromErrno(ENOSPC), 101);
    EXPECT_EQ(IoCodeFromErrno(EFBIG), 101);
    EXPECT_EQ(IoCodeFromErrno(EIO), EIO);
    EXPECT_STREQ(EInOutError(2).what(), "Datei nicht gefunden");
    EXPECT_STREQ(EInOutError(5).what(), "Dateizugriff verweigert");
    EXPECT_STREQ(EInOutError(101).what(), "Zu wenig Speicherplatz");
    EXPECT_STREQ(EInOutError(131).what(), "E/A-Fehler 131");
}

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
