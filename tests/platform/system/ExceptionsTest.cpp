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

TEST(IoErrors, RaisedSystemErrorsKeepTheirErrnoBesideTheText)
{
    try {
        RaiseSystemError(ENOSPC);
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), ioDiskFull);
        EXPECT_EQ(e.Errno(), ENOSPC);
        EXPECT_STREQ(e.what(), "Zu wenig Speicherplatz");
    }
    EXPECT_THROW(RaiseSystemError(0), EInOutError);  // the file ended early: ioReadBeyondEnd
    EXPECT_EQ(EFCreateError("/a/b", EISDIR).Errno(), EISDIR);
    EXPECT_STREQ(EFCreateError("/a/b", EISDIR).what(), "Datei /a/b kann nicht erstellt werden");
    EXPECT_FALSE(IgnoreFailure([] { RaiseSystemError(EIO); }));
    EXPECT_TRUE(IgnoreFailure([] {}));
}
