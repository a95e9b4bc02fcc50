// SPDX-License-Identifier: GPL-3.0-or-later
// The document core: loading, saving with backup, new documents, the page
// buffer, size changes, change marks and the working copy's safety, without
// any widget.
#include "DocumentFixture.h"
#include "FileSizeLimit.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using Document = testsupport::DocumentProbe;
using hexcore::WorkingCopy;
using testsupport::Bytes;
using testsupport::Exists;
using testsupport::FileSizeLimit;
using testsupport::ListDir;
using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

Bytes Read(const Document& e, std::int32_t position, std::int32_t count)
{
    Bytes data(static_cast<std::size_t>(count), 0xEE);
    e.ReadBuffer(data.data(), position, count);
    return data;
}

}  // namespace

// ---- Construction and the working copy -----------------------------------------

TEST_F(DocumentTest, FreshDocumentIsAnEmptyUntitledDocumentWithItsWorkingCopyReserved)
{
    Document raw;
    EXPECT_EQ(raw.FileName(), "---");
    raw.NewFile("Untitled");

    EXPECT_EQ(raw.FileName(), "Untitled");
    EXPECT_EQ(raw.DataSize(), 0);
    EXPECT_FALSE(raw.HasWorkingFile());
    EXPECT_FALSE(raw.Modified());
    EXPECT_TRUE(raw.FileIsReadOnly());
    EXPECT_TRUE(raw.CreateBackup());
    EXPECT_EQ(raw.BackupExtension(), ".bak");
    EXPECT_FALSE(raw.NoSizeChange());
    EXPECT_FALSE(raw.AllowInsertMode());
    EXPECT_FALSE(raw.InsertState());
    EXPECT_EQ(raw.PageStart(), -1);

    // Named by the tick count in the temporary folder, and created at once,
    // empty and private.
    const std::string name = raw.WorkingFileName();
    ASSERT_EQ(platform::ExtractFilePath(name), tmp_);
    EXPECT_TRUE(std::regex_match(platform::ExtractFileName(name), std::regex("[0-9A-F]{8}\\.ZQWK")));
    EXPECT_TRUE(S_ISREG(ModeOf(name)));
    EXPECT_EQ(ModeOf(name) & 0777, 0600u);
    EXPECT_TRUE(ReadFile(name).empty());
    EXPECT_EQ(WorkingCopy::NameFor("/t/", 0xAB12), "/t/0000AB12.ZQWK");
}

TEST_F(DocumentTest, TwoDocumentsAliveAtOnceKeepSeparateWorkingCopies)
{
    WriteFile(dir_ / "a.bin", std::string("first"));
    WriteFile(dir_ / "b.bin", std::string("second file"));
    auto one = NewDocument();
    auto two = NewDocument();
    ASSERT_NE(one->WorkingFileName(), two->WorkingFileName());

    ASSERT_TRUE(one->LoadFromFile(dir_ / "a.bin"));
    ASSERT_TRUE(two->LoadFromFile(dir_ / "b.bin"));
    one->WriteByte(0, 'F');
    two->InsertBytes("> ", 2, 0);

    EXPECT_EQ(Content(*one), Bytes({'F', 'i', 'r', 's', 't'}));
    EXPECT_EQ(Content(*two), Bytes({'>', ' ', 's', 'e', 'c', 'o', 'n', 'd', ' ', 'f', 'i', 'l', 'e'}));

    const std::string oneName = one->WorkingFileName();
    one.reset();
    EXPECT_FALSE(Exists(oneName));
    EXPECT_EQ(two->DataSize(), 13);
    EXPECT_EQ(two->ReadByte(2), 's');
}

TEST_F(DocumentTest, DestructionRemovesTheWorkingCopy)
{
    WriteFile(dir_ / "doc.bin", Pattern(3000));
    std::string name;
    {
        auto e = NewDocument();
        name = e->WorkingFileName();
        ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
        ASSERT_TRUE(Exists(name));
    }
    EXPECT_FALSE(Exists(name));
    EXPECT_TRUE(ListDir(tmp_).empty());
}

TEST_F(DocumentTest, SymbolicLinksPlantedAtTheNextNamesAreNeverFollowed)
{
    // Links for a stretch of names a little ahead of the clock, some to a
    // file of someone else's, some dangling; the editor is made once the
    // clock has entered the stretch, so its first names are all taken.
    WriteFile(dir_ / "victim", std::string("precious"));
    const std::uint32_t first = platform::GetTickCount() + 1500;
    const std::uint32_t end = first + 200;
    for (std::uint32_t tick = first; tick != end; ++tick) {
        const std::string target = tick % 2 ? dir_ / "victim" : dir_ / ("dangling-" + std::to_string(tick));
        ASSERT_EQ(::symlink(target.c_str(), WorkingCopy::NameFor(tmp_, tick).c_str()), 0);
    }
    const std::size_t planted = end - first;
    WriteFile(dir_ / "doc.bin", Pattern(5000));
    while (static_cast<std::int32_t>(platform::GetTickCount() - first) < 0)
        ::usleep(1000);
    std::string name;
    {
        const std::uint32_t made = platform::GetTickCount();
        auto e = NewDocument();
        name = e->WorkingFileName();
        if (static_cast<std::int32_t>(made + 50 - end) < 0) {  // not when the machine stalled past the stretch
            EXPECT_EQ(name, WorkingCopy::NameFor(tmp_, end));
        }
        EXPECT_TRUE(S_ISREG(ModeOf(name)));
        EXPECT_EQ(ListDir(tmp_).size(), planted + 1);
        ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
        e->InsertBytes("xyz", 3, 10);
        e->AppendBytes("end", 3);
        EXPECT_EQ(e->DataSize(), 5006);
        ASSERT_TRUE(e->SaveToFile(dir_ / "out.bin"));
    }
    EXPECT_EQ(ReadFile(dir_ / "victim"), Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    for (const auto& entry : ListDir(dir_.Path()))
        EXPECT_EQ(entry.rfind("dangling-", 0), std::string::npos) << entry;
    EXPECT_EQ(ListDir(tmp_).size(), planted);  // the links, and nothing of ours
    EXPECT_FALSE(Exists(name));
}

TEST_F(DocumentTest, AWorkingCopyReplacedByALinkIsRefusedAndLeftAlone)
{
    WriteFile(dir_ / "victim", std::string("precious"));
    WriteFile(dir_ / "doc.bin", std::string("data"));
    auto e = NewDocument();
    const std::string name = e->WorkingFileName();
    ASSERT_EQ(::unlink(name.c_str()), 0);
    ASSERT_EQ(::symlink((dir_ / "victim").c_str(), name.c_str()), 0);

    EXPECT_THROW(e->InsertBytes("x", 1, 0), platform::EFCreateError);
    EXPECT_THROW(EXPECT_FALSE(e->LoadFromFile(dir_ / "doc.bin")), platform::EFOpenError);
    EXPECT_EQ(e->FileName(), "Untitled");
    EXPECT_FALSE(e->HasWorkingFile());
    e.reset();
    EXPECT_EQ(ReadFile(dir_ / "victim"), Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_TRUE(S_ISLNK(ModeOf(name)));
}

// ---- Loading ------------------------------------------------------------------

TEST_F(DocumentTest, LoadingCopiesTheFileAndLeavesTheOriginalAlone)
{
    const Bytes data = Pattern(200000);
    WriteFile(dir_ / "doc.bin", data);
    auto e = NewDocument();

    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    EXPECT_EQ(e->FileName(), dir_ / "doc.bin");
    EXPECT_EQ(e->DataSize(), 200000);
    EXPECT_TRUE(e->HasWorkingFile());
    EXPECT_FALSE(e->FileIsReadOnly());
    EXPECT_FALSE(e->Modified());
    EXPECT_EQ(Content(*e), data);
    // A read over the end fills what there is and leaves the rest.
    EXPECT_EQ(Read(*e, 199998, 4), Bytes({data[199998], data[199999], 0xEE, 0xEE}));

    e->WriteByte(5, static_cast<std::uint8_t>(data[5] + 1));
    EXPECT_EQ(ReadFile(dir_ / "doc.bin"), data);
    EXPECT_EQ(e->ReadByte(5), static_cast<std::uint8_t>(data[5] + 1));
}

TEST_F(DocumentTest, LoadingAnEmptyFileGivesAnOpenEmptyDocument)
{
    WriteFile(dir_ / "empty.bin", Bytes {});
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "empty.bin"));
    EXPECT_EQ(e->DataSize(), 0);
    EXPECT_TRUE(e->HasWorkingFile());
    EXPECT_EQ(e->FileName(), dir_ / "empty.bin");
}

TEST_F(DocumentTest, ReadOnlyFilesLoadIntoAWritableWorkingCopy)
{
    // A file with no write permission, and the running program, which not
    // even root may open for writing.
    WriteFile(dir_ / "ro.bin", std::string("read only"));
    ::chmod((dir_ / "ro.bin").c_str(), 0444);
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "ro.bin"));
    EXPECT_EQ(e->FileIsReadOnly(), ::geteuid() != 0);
    EXPECT_TRUE(ModeOf(e->WorkingFileName()) & S_IWUSR);
    e->WriteByte(0, 'R');
    EXPECT_EQ(Content(*e)[0], 'R');

    char self[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    ASSERT_TRUE(e->LoadFromFile(self));
    EXPECT_TRUE(e->FileIsReadOnly());
    e->WriteByte(0, 0);
    EXPECT_EQ(e->ReadByte(0), 0);
    EXPECT_EQ(ReadFile(self)[0], 0x7F);  // still an ELF file
}

TEST_F(DocumentTest, FilesThatCannotBeLoadedLeaveTheDocumentAsItWas)
{
    WriteFile(dir_ / "doc.bin", std::string("keep"));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    ::mkdir((dir_ / "folder").c_str(), 0755);
    ::mkfifo((dir_ / "fifo").c_str(), 0644);  // opening it for reading would block
    ASSERT_EQ(::symlink((dir_ / "folder").c_str(), (dir_ / "link-to-folder").c_str()), 0);

    for (const std::string& name : {dir_ / "missing.bin", dir_ / "folder", dir_ / "fifo",
                                    dir_ / "link-to-folder", std::string("/dev/null")}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(e->LoadFromFile(name));
        EXPECT_EQ(e->FileName(), dir_ / "doc.bin");
        EXPECT_EQ(e->DataSize(), 4);
        EXPECT_EQ(Content(*e), Bytes({'k', 'e', 'e', 'p'}));
        EXPECT_TRUE(e->FileIsReadOnly());
    }
}

TEST_F(DocumentTest, FilesOfTwoGibibytesOrMoreAreRefused)
{
    WriteFile(dir_ / "doc.bin", std::string("kept"));
    const int fd = ::open((dir_ / "huge.bin").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 0x80000000LL), 0);  // sparse: costs no space
    ::close(fd);

    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    EXPECT_FALSE(e->LoadFromFile(dir_ / "huge.bin"));
    EXPECT_EQ(e->FileName(), dir_ / "doc.bin");
    EXPECT_EQ(e->DataSize(), 4);
    EXPECT_FALSE(e->FileIsReadOnly());
}

TEST_F(DocumentTest, ACopyThatStopsShortLeavesAnEmptyUntitledDocument)
{
    WriteFile(dir_ / "small.bin", std::string("small"));
    WriteFile(dir_ / "big.bin", Pattern(300000));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "small.bin"));
    e->SetModified(true);
    {
        FileSizeLimit full(100000);
        EXPECT_FALSE(e->LoadFromFile(dir_ / "big.bin"));
    }
    EXPECT_EQ(e->FileName(), "Untitled");
    EXPECT_EQ(e->DataSize(), 0);
    EXPECT_FALSE(e->HasWorkingFile());
    EXPECT_FALSE(e->Modified());
    EXPECT_TRUE(e->FileIsReadOnly());
    EXPECT_TRUE(ReadFile(e->WorkingFileName()).empty());

    // With room again the same editor loads the file whole.
    ASSERT_TRUE(e->LoadFromFile(dir_ / "big.bin"));
    EXPECT_EQ(Content(*e), ReadFile(dir_ / "big.bin"));
}

// ---- Size changes ---------------------------------------------------------------

TEST_F(DocumentTest, InsertingAtTheStartShiftsAndAtTheEndAppends)
{
    WriteFile(dir_ / "abc.bin", std::string("ABCDEF"));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "abc.bin"));
    e->InsertBytes("123", 3, 0);
    EXPECT_EQ(Content(*e), Bytes({'1', '2', '3', 'A', 'B', 'C', 'D', 'E', 'F'}));
    e->InsertBytes("xy", 2, e->DataSize());
    EXPECT_EQ(Content(*e), Bytes({'1', '2', '3', 'A', 'B', 'C', 'D', 'E', 'F', 'x', 'y'}));
    e->AppendBytes("!", 1);
    EXPECT_EQ(e->DataSize(), 12);
    EXPECT_EQ(e->ReadByte(11), '!');
}

TEST_F(DocumentTest, TheFirstInsertIntoANewDocumentCreatesTheWorkingCopy)
{
    auto e = NewDocument();
    e->AppendBytes("hello", 5);
    EXPECT_TRUE(e->HasWorkingFile());
    EXPECT_EQ(Content(*e), Bytes({'h', 'e', 'l', 'l', 'o'}));
    e->NewFile("Untitled");
    EXPECT_FALSE(e->HasWorkingFile());
    EXPECT_EQ(e->DataSize(), 0);
    EXPECT_TRUE(ReadFile(e->WorkingFileName()).empty());
    e->InsertBytes("ab", 2, 0);
    EXPECT_EQ(Content(*e), Bytes({'a', 'b'}));
}

TEST_F(DocumentTest, CuttingAThousandByteDocumentToItsFirstFiveHundred)
{
    const Bytes data = Pattern(1000);
    WriteFile(dir_ / "doc.bin", data);
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    e->DeleteRange(500, e->DataSize());
    EXPECT_EQ(e->DataSize(), 500);
    EXPECT_EQ(Content(*e), Bytes(data.begin(), data.begin() + 500));
    e->DeleteRange(0, 100);
    EXPECT_EQ(Content(*e), Bytes(data.begin() + 100, data.begin() + 500));
}

TEST_F(DocumentTest, MoveBlockHandlesOverlapsAcrossSeveralPieces)
{
    const std::int32_t count = 2 * Document::kMovePiece + 3;
    const Bytes data = Pattern(static_cast<std::size_t>(count) + 10);
    WriteFile(dir_ / "doc.bin", data);
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));

    e->MoveBlock(0, 1, count);  // up by one byte
    Bytes expected = data;
    std::copy(data.begin(), data.begin() + count, expected.begin() + 1);
    EXPECT_EQ(Content(*e), expected);

    e->MoveBlock(7, 0, count);  // down by seven bytes
    const Bytes before = expected;
    std::copy(before.begin() + 7, before.begin() + 7 + count, expected.begin());
    EXPECT_EQ(Content(*e), expected);
}

TEST_F(DocumentTest, NoDocumentSizeReachesTwoGibibytes)
{
    WriteFile(dir_ / "doc.bin", std::string("abc"));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    // The largest document, sparse on disk.
    e->WriteByte(Document::kMaxDataSize - 1, 'z');
    e->SizeChanged();
    ASSERT_EQ(e->DataSize(), Document::kMaxDataSize);

    EXPECT_THROW(e->InsertBytes("x", 1, 0), platform::EInOutError);
    EXPECT_THROW(e->AppendBytes("x", 1), platform::EInOutError);
    e->WriteByte(Document::kMaxDataSize, 'y');
    EXPECT_EQ(e->DataSize(), Document::kMaxDataSize);
    EXPECT_EQ(e->ReadByte(0), 'a');
    EXPECT_EQ(e->ReadByte(Document::kMaxDataSize - 1), 'z');

    e->DeleteRange(3, e->DataSize());
    EXPECT_EQ(Content(*e), Bytes({'a', 'b', 'c'}));
    e->InsertBytes("1234", 4, 1);
    EXPECT_EQ(Content(*e), Bytes({'a', '1', '2', '3', '4', 'b', 'c'}));
}

// ---- Page buffer ------------------------------------------------------------------

TEST_F(DocumentTest, ThePageIsCentredOnTheLineAndReloadedOnlyWhenTheLineLeavesIt)
{
    const Bytes data = Pattern(300000);
    WriteFile(dir_ / "doc.bin", data);
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    const std::int32_t line = 16;

    e->EnsurePage(100000, line);
    ASSERT_EQ(e->PageStart(), 100000 - 32768);
    EXPECT_TRUE(std::equal(e->PageBuffer(), e->PageBuffer() + 65536, data.begin() + (100000 - 32768)));

    // The last line that fits keeps the page; one byte further reloads it.
    const std::int32_t lastLine = e->PageStart() + 65536 - line;
    e->EnsurePage(lastLine, line);
    EXPECT_EQ(e->PageStart(), 100000 - 32768);
    e->EnsurePage(lastLine + 1, line);
    EXPECT_EQ(e->PageStart(), lastLine + 1 - 32768);

    e->EnsurePage(10, line);
    EXPECT_EQ(e->PageStart(), 0);

    // A byte written in the page's last line shows without a reload.
    const std::int32_t last = e->PageStart() + 65535;
    e->WriteByte(last, static_cast<std::uint8_t>(data[last] ^ 0xFF));
    e->UpdatePage(last, static_cast<std::uint8_t>(data[last] ^ 0xFF));
    e->UpdatePage(65536, 0);  // outside the page: nothing
    e->EnsurePage(65536 - line, line);
    EXPECT_EQ(e->PageStart(), 0);
    EXPECT_EQ(e->PageBuffer()[65535], static_cast<std::uint8_t>(data[last] ^ 0xFF));
    EXPECT_EQ(e->PageBuffer()[0], data[0]);
}

TEST_F(DocumentTest, DataSizeIsServedFromTheCacheWhileAPageIsLoaded)
{
    WriteFile(dir_ / "doc.bin", Pattern(1000));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    e->EnsurePage(0, 16);
    EXPECT_EQ(e->DataSize(), 1000);
    EXPECT_EQ(e->CachedSize(), 1000);
    // Grown behind the store's back: the cache answers until the page goes.
    e->WriteByte(1999, 1);
    EXPECT_EQ(e->DataSize(), 1000);
    e->SizeChanged();
    EXPECT_EQ(e->PageStart(), -1);
    EXPECT_EQ(e->DataSize(), 2000);
}

TEST_F(DocumentTest, ChangeMarksAreCutToTheNewLengthAndHiddenInInsertMode)
{
    WriteFile(dir_ / "doc.bin", Pattern(100));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    e->MarkChanged(10);
    e->MarkChanged(90);
    EXPECT_TRUE(e->IsByteChanged(90));
    EXPECT_FALSE(e->IsByteChanged(91));
    EXPECT_FALSE(e->IsByteChanged(5000));

    e->SetAllowInsertMode(true);
    e->SetInsertState(true);
    EXPECT_FALSE(e->IsByteChanged(10));
    e->SetInsertState(false);
    EXPECT_TRUE(e->IsByteChanged(10));

    e->DeleteRange(50, 100);
    EXPECT_EQ(e->ChangedBytes().size(), 50u);
    EXPECT_TRUE(e->IsByteChanged(10));
    e->InsertBytes("x", 1, 0);  // marks stay where they were
    EXPECT_TRUE(e->IsByteChanged(10));
}

TEST_F(DocumentTest, NoSizeChangeForcesAllowInsertModeOffForGood)
{
    auto e = NewDocument();
    e->SetAllowInsertMode(true);
    EXPECT_TRUE(e->AllowInsertMode());
    e->SetNoSizeChange(true);
    EXPECT_FALSE(e->AllowInsertMode());
    e->SetAllowInsertMode(true);
    EXPECT_FALSE(e->AllowInsertMode());
    e->SetNoSizeChange(false);
    EXPECT_FALSE(e->AllowInsertMode());
    e->SetAllowInsertMode(true);
    EXPECT_TRUE(e->AllowInsertMode());
}

// ---- Saving -------------------------------------------------------------------

TEST_F(DocumentTest, ABackupIsWrittenOnlyWhenAModifiedDocumentIsSavedUnderItsOwnName)
{
    const std::string doc = dir_ / "song.umx";
    WriteFile(doc, std::string("old"));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(doc));

    ASSERT_TRUE(e->SaveToFile(doc));  // unmodified
    EXPECT_FALSE(Exists(dir_ / "song.umx.bak"));

    e->WriteByte(0, 'n');
    e->SetModified(true);
    ASSERT_TRUE(e->SaveToFile(dir_ / "other.umx"));  // another name
    EXPECT_FALSE(Exists(dir_ / "song.umx.bak"));
    EXPECT_FALSE(Exists(dir_ / "other.umx.bak"));

    ASSERT_TRUE(e->LoadFromFile(doc));
    e->WriteByte(0, 'N');
    e->SetModified(true);
    ASSERT_TRUE(e->SaveToFile(doc));
    EXPECT_EQ(ReadFile(dir_ / "song.umx.bak"), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(ReadFile(doc), Bytes({'N', 'l', 'd'}));

    // CreateBackup off, and another extension.
    e->SetCreateBackup(false);
    e->SetModified(true);
    ASSERT_TRUE(e->SaveToFile(doc));
    EXPECT_EQ(ReadFile(dir_ / "song.umx.bak"), Bytes({'o', 'l', 'd'}));
    e->SetCreateBackup(true);
    e->SetBackupExtension(".orig");
    const std::string plain = dir_ / "README";
    WriteFile(plain, std::string("r"));
    ASSERT_TRUE(e->LoadFromFile(plain));
    e->SetModified(true);
    ASSERT_TRUE(e->SaveToFile(plain));
    EXPECT_EQ(ReadFile(dir_ / "README.orig"), Bytes({'r'}));
}

TEST_F(DocumentTest, AFailedBackupAbandonsTheSave)
{
    const std::string doc = dir_ / "doc.bin";
    WriteFile(doc, std::string("old"));
    ::mkdir((dir_ / "doc.bin.bak").c_str(), 0755);
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(doc));
    e->WriteByte(0, 'n');
    e->SetModified(true);
    EXPECT_FALSE(e->SaveToFile(doc));
    EXPECT_TRUE(e->LastSaveFailure().backup);
    EXPECT_EQ(e->LastSaveFailure().error, EISDIR);
    EXPECT_EQ(ReadFile(doc), Bytes({'o', 'l', 'd'}));
    EXPECT_TRUE(e->Modified());
    EXPECT_TRUE(e->HasWorkingFile());
}

TEST_F(DocumentTest, ASuccessfulSaveClearsTheEditStateAndKeepsPermissions)
{
    const std::string doc = dir_ / "doc.bin";
    WriteFile(doc, Pattern(70000, 2));
    ::chmod(doc.c_str(), 0640);
    WriteFile(dir_ / "new.bin", Pattern(100000, 3));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "new.bin"));
    e->MarkChanged(3);
    e->SetModified(true);

    ASSERT_TRUE(e->SaveToFile(doc));
    EXPECT_EQ(ReadFile(doc), ReadFile(dir_ / "new.bin"));
    EXPECT_EQ(ModeOf(doc) & 07777, 0640u);
    EXPECT_FALSE(e->Modified());
    EXPECT_TRUE(e->ChangedBytes().empty());
    EXPECT_FALSE(e->FileIsReadOnly());
    EXPECT_EQ(e->FileName(), doc);
    EXPECT_EQ(ListDir(dir_.Path()), (std::vector<std::string> {"doc.bin", "new.bin", "tmp"}));

    // The document stays open for further edits.
    e->InsertBytes("x", 1, 0);
    EXPECT_EQ(e->DataSize(), 100001);
}

TEST_F(DocumentTest, SavingThroughASymbolicLinkReplacesTheFileItNames)
{
    WriteFile(dir_ / "real.bin", std::string("old"));
    ASSERT_EQ(::symlink("real.bin", (dir_ / "link.bin").c_str()), 0);
    auto e = NewDocument();
    e->AppendBytes("new", 3);
    ASSERT_TRUE(e->SaveToFile(dir_ / "link.bin"));
    EXPECT_TRUE(S_ISLNK(ModeOf(dir_ / "link.bin")));
    EXPECT_EQ(ReadFile(dir_ / "real.bin"), Bytes({'n', 'e', 'w'}));
}

TEST_F(DocumentTest, SavingWorksForTheLongestNameTheFolderTakes)
{
    // 255 bytes, the most a name may have; also one cut inside a UTF-8
    // character where the temporary name is shortened.
    auto e = NewDocument();
    e->AppendBytes("lang", 4);
    std::string umlauts = std::string(199, 'u');
    for (int i = 0; i < 20; ++i)
        umlauts += "\xC3\xBC";
    for (const std::string& name : {std::string(255, 'n'), umlauts}) {
        SCOPED_TRACE(name.size());
        ASSERT_TRUE(e->SaveToFile(dir_ / name));
        EXPECT_EQ(ReadFile(dir_ / name), Bytes({'l', 'a', 'n', 'g'}));
    }
    EXPECT_EQ(ListDir(dir_.Path()).size(), 3u) << "no temporary file is left";
}

TEST_F(DocumentTest, AFailedSaveLeavesTheTargetAndTheEditStateAsTheyWere)
{
    const std::string doc = dir_ / "doc.bin";
    WriteFile(doc, std::string("previous"));
    WriteFile(dir_ / "big.bin", Pattern(300000));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "big.bin"));
    e->MarkChanged(7);
    e->SetModified(true);
    {
        FileSizeLimit full(100000);
        ASSERT_TRUE(full.Applied());
        EXPECT_FALSE(e->SaveToFile(doc));
    }
    EXPECT_EQ(ReadFile(doc), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(ListDir(dir_.Path()), (std::vector<std::string> {"big.bin", "doc.bin", "tmp"}));
    EXPECT_TRUE(e->Modified());
    EXPECT_TRUE(e->IsByteChanged(7));
    EXPECT_EQ(e->FileName(), dir_ / "big.bin");
    EXPECT_EQ(Content(*e), ReadFile(dir_ / "big.bin"));

    ::mkdir((dir_ / "folder").c_str(), 0755);
    EXPECT_FALSE(e->SaveToFile(dir_ / "folder"));
    EXPECT_FALSE(e->SaveToFile(dir_ / "no-such-folder/x.bin"));
    EXPECT_TRUE(e->Modified());
}

TEST_F(DocumentTest, AWorkingCopyLostDuringASaveLeavesAnEmptyDocument)
{
    WriteFile(dir_ / "doc.bin", std::string("content"));
    auto e = NewDocument();
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
    e->EnsurePage(0, 16);
    // Something took the working copy's place: it cannot be reopened.
    const std::string name = e->WorkingFileName();
    ASSERT_EQ(::unlink(name.c_str()), 0);
    ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);

    try {
        EXPECT_FALSE(e->SaveToFile(dir_ / "out.bin"));
        ADD_FAILURE() << "no error raised";
    } catch (const platform::EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Datei " + name + " kann nicht geöffnet werden");
    }
    EXPECT_EQ(ReadFile(dir_ / "out.bin"), Bytes({'c', 'o', 'n', 't', 'e', 'n', 't'}));
    EXPECT_FALSE(e->HasWorkingFile());
    EXPECT_EQ(e->FileName(), "Untitled");
    EXPECT_EQ(e->DataSize(), 0);
    EXPECT_EQ(e->PageStart(), -1);
    EXPECT_FALSE(e->Modified());
    EXPECT_EQ(e->ReadByte(0), 0);
}

TEST_F(DocumentTest, SavingANewDocumentWithoutWorkingCopyFails)
{
    auto e = NewDocument();
    EXPECT_THROW(EXPECT_FALSE(e->SaveToFile(dir_ / "out.bin")), platform::EFOpenError);
    EXPECT_FALSE(Exists(dir_ / "out.bin"));
    EXPECT_EQ(e->FileName(), "Untitled");
}
