// SPDX-License-Identifier: GPL-3.0-or-later
// Random command sequences on random documents, Undo and Redo among them,
// checked after every step against the shared editor model
// (tests/support/EditorModel.h): document, caret, selection, change marks,
// undo count and what Redo can carry out; then undone step by step back to
// the start. With faults, editing commands now and then run on a
// full disk (a file-size limit around the document's size): a command that
// fails must leave everything as the model had it before the command. Some
// seeds keep the saved bytes of nearly every record in files.
#include "EditingSupport.h"
#include "EditorModel.h"
#include "FileSizeLimit.h"

#include "platform/system/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace editingtest;
using testsupport::EditorModel;
using testsupport::ModelCaret;

namespace {

constexpr std::int32_t kLine = 16;  // bytes per line of a fresh editor

Caret ToCaret(const ModelCaret& c)
{
    return Caret{c.position, c.charPane, c.nibble};
}

// Runs an assignment that the editor refuses with an exception outside the
// document; whether it raised.
template <class Action>
bool Raises(Action action)
{
    try {
        action();
    } catch (const platform::Exception&) {
        return true;
    }
    return false;
}

struct Runner {
    Doc& doc;
    EditorModel m;
    std::mt19937 rng;
    bool faults = false;
    int failures = 0;

    std::int32_t Rand(std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng); }
    Bytes RandomBytes(std::int32_t n)
    {
        Bytes b(static_cast<std::size_t>(n));
        for (auto& x : b)
            x = static_cast<std::uint8_t>(Rand(0, 255));
        return b;
    }

    // The editor against the model: everything but the undo steps.
    void ExpectSame()
    {
        HexEditorProbe& ed = *doc;
        ASSERT_EQ(ed.DataSize(), m.Size());
        ASSERT_EQ(Contents(ed), m.bytes);
        EXPECT_EQ(ed.Modified(), m.modified);
        EXPECT_EQ(CaretOf(ed), ToCaret(m.caret));
        EXPECT_EQ(ed.SelAnchor(), m.anchor);
        EXPECT_EQ(ed.SelLow(), m.low);
        EXPECT_EQ(ed.SelHigh(), m.high);
        EXPECT_EQ(ed.SelLength(), m.SelLength());
        EXPECT_EQ(ed.ChangedBytes(), m.marks);
        EXPECT_EQ(ed.UndoCount(), m.undoCount);
    }

    // Runs an editing command on the editor, with faults now and then under
    // a file-size limit between half the document's size and a little more
    // than all of it; false when the command failed, which must leave the
    // undo log as it was (and everything else as the model still has it).
    template <class Command>
    bool Edit(Command command)
    {
        testsupport::FileSizeLimit limit;
        if (faults && Rand(0, 2) == 0)
            limit.Apply(static_cast<rlim_t>(Rand(m.Size() / 2, m.Size() + 24)));
        const Bytes log = doc->UndoLog();
        try {
            command();
        } catch (const platform::EInOutError& error) {
            EXPECT_EQ(error.ErrorCode(), platform::ioDiskFull);
            EXPECT_EQ(doc->UndoLog(), log);
            ++failures;
            return false;
        }
        return true;
    }

    void Check(const std::string& step)
    {
        SCOPED_TRACE(step);
        ExpectSame();
        std::size_t logSize = 0;
        for (const auto& r : Records(doc->UndoLog()))
            logSize += LengthOf(r);
        EXPECT_EQ(logSize, doc->UndoLog().size());
    }

    // One random command on editor and model; returns its name.
    std::string Step()
    {
        HexEditorProbe& ed = *doc;
        const std::int32_t size = m.Size();
        const std::int32_t records = m.records;
        const std::size_t logBefore = ed.UndoLog().size();
        std::string name;

        switch (Rand(0, 15)) {
        case 0: {  // SelStart, sometimes out of range
            const std::int32_t p = Rand(-2, size + 1);
            name = "SelStart " + std::to_string(p);
            EXPECT_EQ(Raises([&] { ed.SetSelStart(p); }), !m.SetSelStart(p));
            break;
        }
        case 1: {
            const std::int32_t p = Rand(-1, size);
            name = "SelEnd " + std::to_string(p);
            EXPECT_EQ(Raises([&] { ed.SetSelEnd(p); }), !m.SetSelEnd(p));
            break;
        }
        case 2: {  // a selection by cells: extend from the caret
            if (size == 0)
                return "skip";
            const std::int32_t p = Rand(0, size - 1);
            name = "Extend " + std::to_string(p);
            const auto to = ed.PositionToCell(p, m.caret.charPane);
            ed.ExtendSelection(ed.Col(), ed.Row(), to.col, to.row);
            m.ExtendTo(p);
            break;
        }
        case 3: {  // the caret to any cell of any pane
            if (size == 0)
                return "skip";
            const ModelCaret c{Rand(0, size - 1), Rand(0, 1) == 1, 0};
            const int nibble = c.charPane ? 0 : Rand(0, 1);
            name = "Move " + std::to_string(c.position);
            MoveCaret(ed, c.position, c.charPane, nibble);
            m.MoveCaret(ModelCaret{c.position, c.charPane, nibble});
            break;
        }
        case 4: {
            if (size == 0)
                return "skip";
            const std::int32_t p = Rand(0, size - 1);
            const auto old = m.bytes[static_cast<std::size_t>(p)];
            const auto v = static_cast<std::uint8_t>(Rand(0, 3) == 0 ? old : Rand(0, 255));
            name = "ChangeByte " + std::to_string(p);
            if (Edit([&] { ed.ChangeByte(p, old, v, p / kLine); }))
                m.ChangeByte(p, v);
            break;
        }
        case 5:
        case 6:
            name = "DeleteSelection";
            if (Edit([&] { ed.DeleteSelection(); }))
                m.DeleteSelection();
            break;
        case 7: {
            const bool back = Rand(0, 1) == 1;
            name = back ? "Backspace" : "DeleteCaretByte";
            if (Edit([&] { ed.DeleteCaretByte(back); }))
                m.DeleteCaretByte(back);
            break;
        }
        case 8:
        case 9: {
            const std::int32_t p = Rand(0, 1) == 0 ? m.caret.position : Rand(0, size);
            const Bytes src = RandomBytes(Rand(1, 20));
            name = "InsertBuffer " + std::to_string(p) + "+" + std::to_string(src.size());
            if (Edit([&] { ed.InsertBuffer(src.data(), static_cast<std::int32_t>(src.size()), p); }))
                m.InsertBuffer(src, p);
            break;
        }
        case 10: {
            const Bytes src = RandomBytes(Rand(1, 20));
            name = "AppendBuffer " + std::to_string(src.size());
            if (Edit([&] { ed.AppendBuffer(src.data(), static_cast<std::int32_t>(src.size())); }))
                m.AppendBuffer(src);
            break;
        }
        case 11:
        case 12: {
            const Bytes src = RandomBytes(Rand(0, 12));
            name = "ReplaceSelection " + std::to_string(src.size());
            if (Edit([&] { ed.ReplaceSelection(src.data(), static_cast<std::int32_t>(src.size())); }))
                m.ReplaceSelection(src);
            break;
        }
        case 13: {
            switch (Rand(0, 5)) {
            case 0:
                name = "NoSizeChange";
                m.SetNoSizeChange(!m.noSizeChange);
                ed.SetNoSizeChange(m.noSizeChange);
                break;
            case 1:
            case 2:
                // The Insert key erases every change mark; insert mode is
                // entered here only where that changes nothing.
                if (!ed.InsertState() && std::find(m.marks.begin(), m.marks.end(), true) != m.marks.end())
                    return "skip";
                ed.SetAllowInsertMode(true);
                ed.SetInsertState(!ed.InsertState());
                name = "InsertState";
                break;
            default: {
                const std::int32_t offset = Rand(-30, 30);
                const int origin = Rand(0, 3);
                const bool strict = Rand(0, 1) == 1;
                name = "SeekCaret";
                EXPECT_EQ(ed.SeekCaret(offset, origin, strict), m.SeekCaret(offset, origin, strict));
            }
            }
            m.SetInsertMode(ed.InsertModeActive());
            break;
        }
        case 14:
        case 15: {
            const bool redo = Rand(0, 1) == 1;
            name = redo ? "Redo" : "Undo";
            // Undo runs without faults (it may then keep nothing for Redo,
            // which the model cannot know); Redo, a command, with them.
            bool done = false;
            if (!redo) {
                EXPECT_EQ(ed.Undo(), m.Undo());
            } else if (Edit([&] { done = ed.Redo(); })) {
                EXPECT_EQ(done, m.Redo());
            }
            break;
        }
        }
        EXPECT_EQ(ed.CanRedo(), !m.redoSteps.empty()) << name;
        // Once full, the log drops a record for each one it adds; only Undo
        // shrinks it.
        EXPECT_TRUE(m.records != records || name == "Undo" || ed.UndoLog().size() == logBefore) << name;
        return name;
    }
};

// One seed's run: random commands, each checked against the model, then
// everything undone; failures counts the commands that failed.
void RunSeed(std::uint32_t seed, bool faults, int& failures)
{
    std::mt19937 rng(seed);
    const auto size = std::uniform_int_distribution<std::int32_t>(0, 3)(rng) == 0
                          ? 0
                          : std::uniform_int_distribution<std::int32_t>(1, 300)(rng);
    const Bytes original = Pattern(size, seed);
    Doc doc(original);
    // Every third seed keeps records of a few bytes on in files, so the
    // records shared with the working copy and their copies are checked too.
    if (seed % 3 == 0)
        doc->SetUndoFileRecordsFrom(static_cast<std::int32_t>(2 + seed % 7));
    Runner run{doc, EditorModel{}, std::mt19937(seed * 7919u), faults};
    run.m.bytes = original;
    // Long runs go past the limit of 100 records.
    const int steps = seed % 4 == 0 ? 260 : 90;
    for (int i = 0; i < steps && !::testing::Test::HasFatalFailure(); ++i) {
        const std::string name = run.Step();
        run.Check(std::to_string(i) + " " + name);
        if (::testing::Test::HasFailure())
            return;
    }
    failures += run.failures;

    // Undo everything the log still holds.
    doc->SetNoSizeChange(false);
    doc->SetInsertState(false);
    run.m.SetNoSizeChange(false);
    run.m.SetInsertMode(false);
    ASSERT_EQ(static_cast<std::size_t>(doc->UndoCount()), run.m.steps.size());
    for (std::size_t n = 0; !run.m.steps.empty(); ++n) {
        const EditorModel::Step s = run.m.steps.back();
        SCOPED_TRACE("undo " + std::to_string(n) + " of kind " + std::to_string(s.kind));
        ASSERT_TRUE(doc->CanUndo());
        ASSERT_TRUE(doc->Undo());
        ASSERT_TRUE(run.m.Undo());
        run.ExpectSame();
        // Marks that no later command cut come back; a byte change always
        // restores the mark of its byte.
        const auto& marks = doc->ChangedBytes();
        const auto markAt = [](const std::vector<bool>& v, std::size_t i) { return i < v.size() && v[i]; };
        for (std::size_t i = 0; i < std::max(marks.size(), s.state.marks.size()); ++i) {
            if (static_cast<std::int32_t>(i) < s.floor ||
                (s.kind == EditorModel::kByteChanged && static_cast<std::int32_t>(i) == s.position)) {
                EXPECT_EQ(markAt(marks, i), markAt(s.state.marks, i)) << "mark " << i;
            }
        }
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_FALSE(doc->Undo());
    if (run.m.droppedSteps == 0) {
        EXPECT_EQ(Contents(*doc), original);
        EXPECT_FALSE(doc->Modified());
    }
}

// Every seed's run; how many commands failed.
int RunSeeds(bool faults)
{
    int failures = 0;
    for (std::uint32_t seed = 1; seed <= 40 && !::testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RunSeed(seed, faults, failures);
    }
    return failures;
}

}  // namespace

TEST(RandomEditing, CommandsFollowTheModelAndUndoRestoresTheStart)
{
    EXPECT_EQ(RunSeeds(false), 0);
}

TEST(RandomEditing, ACommandThatFailsOnAFullDiskChangesNothing)
{
    // Inserts, appends, replacements, byte changes and deletions all fail
    // now and then.
    EXPECT_GT(RunSeeds(true), 200);
}
