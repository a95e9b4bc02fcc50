// SPDX-License-Identifier: GPL-3.0-or-later
// File names that are not UTF-8 on their way through Qt's strings, the
// settings file and the file dialog, and which files count as read-only.
#include "KlangheberHex/FileNames.h"
#include "TempDir.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace hexwindow;
using testsupport::TempDir;

TEST(FileNames, ANameThatIsNotUtf8SurvivesTheSettingsAndTheFileDialog)
{
    TempDir dir;
    const std::string latin1 = dir / "Gr\xFC\xDF" "e.umx";  // "Grüße" in Latin-1
    testsupport::WriteFile(latin1, std::string("x"));
    const QString text = PathText(latin1);
    EXPECT_EQ(PathBytes(text), latin1);
    EXPECT_FALSE(ShownPath(text).contains(QChar(0xDCFC)));

    QSettings settings(QString::fromStdString(dir / "recent.conf"), QSettings::IniFormat);
    const QStringList paths{text, PathText(dir / "Grüße.umx")};
    settings.setValue("recentFiles", StoredPaths(paths));
    settings.sync();
    EXPECT_EQ(PathsFromStored(QSettings(settings.fileName(), QSettings::IniFormat).value("recentFiles")), paths);

    // Qt's dialog shows the name with U+FFFD; it is found in its folder.
    EXPECT_EQ(DialogPathBytes(QFile::decodeName(QByteArray::fromStdString(latin1))), latin1);
    EXPECT_EQ(DialogPathBytes(QString::fromStdString(dir / "neu.bin")), dir / "neu.bin");
}

TEST(FileNames, AFileWithoutWritePermissionIsReadOnlyAlsoForRoot)
{
    TempDir dir;
    const std::string file = dir / "f.bin";
    testsupport::WriteFile(file, std::string("x"));
    EXPECT_TRUE(WriteRefusal(file).isEmpty());
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(WriteRefusal(file).isEmpty());
    EXPECT_TRUE(WriteRefusal(dir / "neu.bin").isEmpty());
    EXPECT_EQ(AbsolutePath("/a/./b//../c"), "/a/c");
}
