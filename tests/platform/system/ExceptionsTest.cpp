// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/Exceptions.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

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
