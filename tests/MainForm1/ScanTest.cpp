// SPDX-License-Identifier: GPL-3.0-or-later
// The scan of one package through the hidden byte editor, end to end: the cut
// to 500 bytes, the scan copy, the three signature searches in their order,
// the hand-over to the extraction and the no-module branch.
#include "MainFormProbe.h"
#include "TempDir.h"
#include "fixtures/Fixtures.h"
#include "fixtures/OpenMpt.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

const QString kEngineStarted = QStringLiteral("Engine gestartet.");
const QString kExtracted = QStringLiteral("Daten erfolgreich extrahiert!");
const QString kNoModule = QStringLiteral("Keine Impulse-/Scream-/FastTracker-Dateien gefunden!");

// Bytes without any of the three signatures.
Bytes Filler(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>('a' + (i * 7) % 26);
    return b;
}

void Plant(Bytes& b, std::size_t at, const std::string& text)
{
    std::copy(text.begin(), text.end(), b.begin() + static_cast<long>(at));
}

Bytes Tail(const Bytes& b, std::size_t from)
{
    return Bytes(b.begin() + static_cast<long>(from), b.end());
}

class Scan : public ::testing::Test {
protected:
    void SetUp() override
    {
        Boxes().boxes.clear();
        form.StatusBar1->OnTextChanged = [this](const QString& text) { statuses.push_back(text); };
    }

    std::string Add(const std::string& name, const Bytes& bytes)
    {
        WriteFile(dir / name, bytes);
        form.AppendToQueue(dir / name);
        return dir / name;
    }

    // Makes the first queue entry current, as the end of the folder walk does,
    // and runs one timer tick.
    void StartAndTick()
    {
        form.ListBox1->setCurrentRow(0);
        form.CurrentFile = form.QueueEntry(0);
        form.Timer1Timer();
    }

    TempDir dir;
    testsupport::MainFormProbe form;
    std::vector<QString> statuses;
};

}  // namespace

TEST_F(Scan, EachModuleKindIsFoundExtractedAndPlays)
{
    for (ModuleKind kind : {ModuleKind::ImpulseTracker, ModuleKind::ScreamTracker3, ModuleKind::FastTracker2}) {
        SCOPED_TRACE(fixtures::FormatName(kind));
        TempDir local;
        testsupport::MainFormProbe f;
        const fixtures::Bytes module = fixtures::MakeModule(kind);
        const fixtures::Package package = fixtures::WrapInPackage(module);
        const std::string path = local / "song.umx";
        WriteFile(path, package.bytes);
        f.AppendToQueue(path);
        f.ListBox1->setCurrentRow(0);
        f.CurrentFile = path;
        f.Timer1Timer();

        const std::string output = local / ("song" + fixtures::Extension(kind));
        ASSERT_TRUE(Exists(output));
        EXPECT_EQ(ReadFile(output), Tail(package.bytes, package.moduleStart));
        EXPECT_FALSE(Exists(local / "song.BAK"));
        EXPECT_EQ(f.edtStart->text(), QString::number(package.bytes.size()));
        EXPECT_EQ(f.edtEnd->text(), QString::number(package.bytes.size()));
        EXPECT_EQ(f.StatusText(), kExtracted);
        EXPECT_EQ(f.ModuleKind, static_cast<std::uint8_t>(kind));
        EXPECT_FALSE(f.Timer1->Enabled());

        const auto wrapped = fixtures::LoadWithOpenMpt(module);
        const auto produced = fixtures::LoadWithOpenMpt(ReadFile(output));
        ASSERT_TRUE(produced.has_value());
        EXPECT_TRUE(fixtures::SameMusic(*wrapped, *produced));
    }
}

TEST_F(Scan, StatusTextsOfAConversionComeInOrder)
{
    const auto package = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::FastTracker2));
    Add("a.umx", package.bytes);
    Add("b.umx", package.bytes);
    StartAndTick();
    EXPECT_EQ(statuses, (std::vector<QString>{kEngineStarted,
                                              QStringLiteral("Daten werden extrahiert. Bitte warten..."), kExtracted,
                                              QStringLiteral("Datei b.umx wird geladen. Bitte warten...")}));
    EXPECT_TRUE(form.Timer1->Enabled());
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
}

TEST_F(Scan, EditorHoldsTheScanCopyWithTheMatchSelected)
{
    Bytes b = Filler(3000);
    Plant(b, 200, "Extended Module");
    Add("x.umx", b);
    StartAndTick();
    THexEditor& editor = *form.HexEditor1;
    EXPECT_EQ(editor.DataSize(), 500);
    // The scan copy is reached through the package's folder held open; the
    // editor names it by its path.
    EXPECT_EQ(editor.FileName(), dir / "x.BAK");
    EXPECT_EQ(editor.SelStart(), 214);
    EXPECT_EQ(editor.SelEnd(), 200);
    EXPECT_EQ(MainForm1Unit::SignatureSearch().FoundPos(), 200);
    EXPECT_EQ(MainForm1Unit::SignatureSearch().SearchLength(), 15);
    EXPECT_EQ(ReadFile(dir / "x.xm"), Tail(b, 200));
}

TEST_F(Scan, ScreamTrackerSignatureAt100StartsTheModuleAt56WithA42ByteSelection)
{
    Bytes b = Filler(1200);
    Plant(b, 100, "SCRM");
    Add("s.umx", b);
    StartAndTick();
    EXPECT_EQ(ReadFile(dir / "s.s3m"), Tail(b, 56));
    EXPECT_EQ(form.HexEditor1->SelStart(), 59);
    EXPECT_EQ(form.HexEditor1->SelEnd(), 100);
    EXPECT_EQ(form.HexEditor1->SelLength(), 42);
    EXPECT_EQ(form.ModuleKind, 1);
}

TEST_F(Scan, SignaturesCountOnlyWhollyWithinTheFirst500Bytes)
{
    struct Case {
        std::size_t at;
        std::string signature;
        bool found;
        const char* extension;
    };
    const Case cases[] = {
        {496, "IMPM", true, ".it"},   // ends exactly at byte 499
        {497, "IMPM", false, ".it"},  // one byte too far
        {485, "Extended Module", true, ".xm"},
        {486, "Extended Module", false, ".xm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signature + " at " + std::to_string(c.at));
        TempDir local;
        testsupport::MainFormProbe f;
        Bytes b = Filler(2000);
        Plant(b, c.at, c.signature);
        WriteFile(local / "p.umx", b);
        f.AppendToQueue(local / "p.umx");
        f.ListBox1->setCurrentRow(0);
        f.CurrentFile = local / "p.umx";
        f.Timer1Timer();
        EXPECT_EQ(Exists(local / ("p" + std::string(c.extension))), c.found);
        EXPECT_EQ(Exists(local / "p.BAK"), !c.found);
    }
}

TEST_F(Scan, ImpulseTrackerWinsOverScreamTrackerWhicheverComesFirst)
{
    Bytes b = Filler(1000);
    Plant(b, 60, "SCRM");
    Plant(b, 300, "IMPM");
    Add("both.umx", b);
    StartAndTick();
    EXPECT_EQ(ReadFile(dir / "both.it"), Tail(b, 300));
    EXPECT_FALSE(Exists(dir / "both.s3m"));
}

TEST_F(Scan, SignaturesAreCaseSensitive)
{
    Bytes b = Filler(1000);
    Plant(b, 10, "impm");
    Plant(b, 100, "scrm");
    Plant(b, 200, "extended module");
    Add("lower.umx", b);
    StartAndTick();
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"lower.BAK", "lower.umx"}));
    EXPECT_EQ(form.StatusText(), kNoModule);
}

TEST_F(Scan, PackageWithoutModuleKeepsItsScanCopyAndTheRunGoesOn)
{
    const Bytes plain = Filler(800);
    const auto withModule = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker));
    Add("a.umx", plain);
    Add("b.umx", withModule.bytes);
    StartAndTick();
    EXPECT_EQ(ReadFile(dir / "a.BAK"), Bytes(plain.begin(), plain.begin() + 500));
    EXPECT_EQ(form.StatusText(), kNoModule);
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
    EXPECT_EQ(form.CurrentFile, dir / "b.umx");
    EXPECT_TRUE(form.Timer1->Enabled());
    EXPECT_EQ(form.ModuleKind, 2);

    form.Timer1Timer();
    EXPECT_TRUE(Exists(dir / "b.it"));
    EXPECT_EQ(form.StatusText(), kExtracted);
    EXPECT_FALSE(form.Timer1->Enabled());
}

TEST_F(Scan, NoModuleAtTheLastEntryEndsTheRunWithItsText)
{
    Add("only.umx", Filler(501));
    StartAndTick();
    EXPECT_EQ(form.StatusText(), kNoModule);
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(ReadFile(dir / "only.BAK").size(), 500u);
}

TEST_F(Scan, ScanCopyFromAnEarlierRunIsReplaced)
{
    WriteFile(dir / "old.BAK", std::string(900, 'z'));
    const Bytes b = Filler(700);
    Add("old.umx", b);
    StartAndTick();
    EXPECT_EQ(ReadFile(dir / "old.BAK"), Bytes(b.begin(), b.begin() + 500));
}

TEST_F(Scan, PackageOf500BytesOrFewerFailsWithInvalidSelStart)
{
    for (std::size_t size : {0u, 1u, 500u}) {
        SCOPED_TRACE(size);
        TempDir local;
        testsupport::MainFormProbe f;
        WriteFile(local / "small.umx", Filler(size));
        f.AppendToQueue(local / "small.umx");
        f.ListBox1->setCurrentRow(0);
        f.CurrentFile = local / "small.umx";
        try {
            f.Timer1Timer();
            ADD_FAILURE() << "no error";
        } catch (const platform::Exception& e) {
            EXPECT_STREQ(e.what(), "Invalid SelStart");
        }
        EXPECT_FALSE(Exists(local / "small.BAK"));
        EXPECT_FALSE(f.Timer1->Enabled());
    }
}

TEST_F(Scan, MissingPackageAfterAnEarlierOneFailsNamingIt)
{
    const auto package = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker));
    Add("first.umx", package.bytes);
    form.AppendToQueue(dir / "gone.umx");
    StartAndTick();
    ASSERT_TRUE(form.Timer1->Enabled());
    EXPECT_EQ(ErrorMessageOf([&] { form.Timer1Timer(); }), "Datei " + dir / "gone.umx" + " kann nicht geöffnet werden");
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
    EXPECT_EQ(form.StatusText(), QStringLiteral("Datei gone.umx wird geladen. Bitte warten..."));
    EXPECT_FALSE(Exists(dir / "gone.BAK"));
}

TEST_F(Scan, ErrorInATimerTickGoesToTheErrorBoxAndStopsTheRun)
{
    Add("tiny.umx", Filler(10));
    form.ListBox1->setCurrentRow(0);
    form.CurrentFile = form.QueueEntry(0);
    form.Timer1->SetInterval(0);
    form.Timer1->SetEnabled(true);
    for (int i = 0; i < 50 && Boxes().boxes.empty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_TRUE(Boxes().boxes[0].error);
    EXPECT_EQ(Boxes().boxes[0].text, "Invalid SelStart.");
    EXPECT_FALSE(form.Timer1->Enabled());
}

TEST_F(Scan, UnwritableScanCopyStopsTheRunWithTheCreateErrorNamingIt)
{
    // A folder standing where the scan copy must go: the save fails, and the
    // cut content left in the editor is never searched in the scan copy's
    // place (it would miss the module). The folder is left alone.
    const auto package = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker));
    Add("d.umx", package.bytes);
    ASSERT_EQ(::mkdir((dir / "d.BAK").c_str(), 0755), 0);
    try {
        StartAndTick();
        ADD_FAILURE();
    } catch (const platform::EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Datei " + dir / "d.BAK" + " kann nicht erstellt werden");
        EXPECT_EQ(e.Errno(), EISDIR) << "the save's own reason goes with it";
    }
    EXPECT_TRUE(statuses.empty());
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"d.BAK", "d.umx"}));
    EXPECT_TRUE(ListDir(dir / "d.BAK").empty());
}

TEST_F(Scan, EmptyScanCopyStopsTheRunWithAnErrorNamingIt)
{
    // Something empties the scan copy while the scan lets pending events run
    // between writing it and loading it again. The first processing of
    // events (at the start of the tick) posts the truncation again, so it
    // runs at the next one, right after the scan copy was written.
    const auto package = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker));
    Add("e.umx", package.bytes);
    const std::string scanCopy = dir / "e.BAK";
    QMetaObject::invokeMethod(
        qApp,
        [scanCopy] {
            QMetaObject::invokeMethod(
                qApp, [scanCopy] { ASSERT_EQ(::truncate(scanCopy.c_str(), 0), 0); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    try {
        StartAndTick();
        ADD_FAILURE() << "no error";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + scanCopy + " kann nicht geöffnet werden");
    }
    EXPECT_EQ(form.StatusText(), kEngineStarted);
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_FALSE(Exists(dir / "e.it"));
}
