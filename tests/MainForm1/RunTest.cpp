// SPDX-License-Identifier: GPL-3.0-or-later
// The run interface of the main window, as a program without a person uses
// it: a run started for a folder reports each status text with the queue
// entry current at that moment, and ends with one end event that tells how
// it ended.
#include "MainFormProbe.h"
#include "TempDir.h"
#include "fixtures/Fixtures.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

struct RunCase {
    const char* name;
    // Files to write below the tree's root: relative path and bytes.
    std::vector<std::pair<std::string, Bytes>> files;
    // The folder to run, relative to the tree's root ("" for the root).
    std::string folder;
    // Every event in order: "i/n package | text" for a status text, then
    // "end <outcome> i/n package | error"; packages relative to the root.
    std::vector<std::string> events;
    // The one box the run shows (its text starts with this), "" for none.
    QString box;
    bool errorBox = false;
};

void PrintTo(const RunCase& c, std::ostream* os)
{
    *os << c.name;
}

const char* OutcomeName(TRunOutcome outcome)
{
    switch (outcome) {
    case roCompleted: return "completed";
    case roStopped: return "stopped";
    case roNothingFound: return "nothing-found";
    case roRefused: return "refused";
    case roCancelled: return "cancelled";
    case roInterrupted: return "interrupted";
    }
    return "?";
}

class Run : public ::testing::TestWithParam<RunCase> {};

TEST_P(Run, ReportsEachStatusWithItsEntryAndEndsOnceWithItsOutcome)
{
    const RunCase& c = GetParam();
    TempDir dir;
    for (const auto& [path, bytes] : c.files) {
        const auto slash = path.rfind('/');
        if (slash != std::string::npos)
            ::mkdir((dir / path.substr(0, slash)).c_str(), 0755);
        WriteFile(dir / path, bytes);
    }
    if (!c.folder.empty())
        ::mkdir((dir / c.folder).c_str(), 0755);
    Boxes().boxes.clear();

    testsupport::MainFormProbe form;
    form.SetPackagePause(0);
    std::vector<std::string> events;
    const auto place = [&dir](const TQueuePlace& p) {
        const std::string package = p.package.empty() ? "" : p.package.substr(dir.Path().size());
        return std::to_string(p.index + 1) + "/" + std::to_string(p.count) + " " + package + " | ";
    };
    form.OnRunStatus = [&](const QString& text, const TQueuePlace& p) {
        events.push_back(place(p) + text.toStdString());
    };
    bool ended = false;
    form.OnRunEnd = [&](const TRunEnd& end) {
        events.push_back(std::string("end ") + OutcomeName(end.outcome) + " " + place(end.place) +
                         end.error.toStdString());
        ended = true;
    };

    // A folder as the dialog gives it: no "/" at the end.
    const std::string root = dir.Path().substr(0, dir.Path().size() - 1);
    form.StartRun(c.folder.empty() ? root : root + "/" + c.folder);
    QElapsedTimer clock;
    clock.start();
    while (!ended && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::processEvents();

    EXPECT_EQ(events, c.events);
    if (c.box.isEmpty()) {
        EXPECT_TRUE(Boxes().boxes.empty());
    } else {
        ASSERT_EQ(Boxes().boxes.size(), 1u);
        EXPECT_EQ(Boxes().boxes[0].error, c.errorBox);
        EXPECT_TRUE(Boxes().boxes[0].text.startsWith(c.box)) << Boxes().boxes[0].text.toStdString();
    }
}

const std::string kLoadingA = "Datei a.umx wird geladen. Bitte warten...";
const std::string kEngine = "Engine gestartet.";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Run,
    ::testing::Values(
        RunCase{"Completed",
                {{"a.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes},
                 {"sub/b.umx", fixtures::MakePackageWithoutModule().bytes}},
                "",
                {"1/2 a.umx | " + kLoadingA, "1/2 a.umx | " + kEngine,
                 "1/2 a.umx | Daten werden extrahiert. Bitte warten...", "1/2 a.umx | Daten erfolgreich extrahiert!",
                 "2/2 sub/b.umx | Datei b.umx wird geladen. Bitte warten...", "2/2 sub/b.umx | " + kEngine,
                 "2/2 sub/b.umx | Keine Impulse-/Scream-/FastTracker-Dateien gefunden!",
                 "end completed 2/2 sub/b.umx | "},
                ""},
        RunCase{"StoppedByAnError",
                {{"a.umx", Bytes(500, 'x')},
                 {"sub/b.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes}},
                "",
                {"1/2 a.umx | " + kLoadingA, "end stopped 1/2 a.umx | Invalid SelStart"},
                "Invalid SelStart.",
                true},
        RunCase{"NothingFound",
                {{"sub/readme.txt", Bytes(10, 'x')}},
                "",
                {"end nothing-found 0/0  | "},
                "Keine Unreal Musikdateien gefunden (*.umx)!"},
        RunCase{"RefusedFolder",
                {{"a;b/a.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes}},
                "a;b",
                {"end refused 0/0  | "},
                "Der Pfad des gewählten Ordners darf kein Semikolon"}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// Drags a path onto the window as a file manager does; true when the window
// took the drop.
bool DropOn(QWidget& window, const std::string& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

// A folder dropped on the window starts a run as if chosen in the dialog; a
// file, and anything while a run is going, is refused.
TEST(RunByDrop, AFolderDroppedOnTheWindowStartsARun)
{
    TempDir dir;
    WriteFile(dir / "a.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes);
    const std::string folder = dir.Path().substr(0, dir.Path().size() - 1);
    testsupport::MainFormProbe form;
    EXPECT_TRUE(form.acceptDrops());
    std::vector<TRunOutcome> ends;
    form.OnRunEnd = [&](const TRunEnd& end) { ends.push_back(end.outcome); };
    bool started = false;
    form.OnRunStatus = [&](const QString&, const TQueuePlace& place) { started = place.count == 1; };

    EXPECT_FALSE(DropOn(form, dir / "a.umx"));
    ASSERT_TRUE(DropOn(form, folder));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started; }, 20000));
    EXPECT_FALSE(DropOn(form, folder)) << "a run is going";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ends.empty(); }, 20000));
    EXPECT_EQ(ends, std::vector<TRunOutcome>{roCompleted});
    EXPECT_TRUE(Exists(dir / "a.it"));
}

}  // namespace
