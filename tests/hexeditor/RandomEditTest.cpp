// Random command sequences on random documents, checked after every step
// against a plain in-memory model of the document, caret, selection, change
// marks and undo count; then undone step by step back to the start.
#include "EditingSupport.h"

#include "platform/system/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>

using namespace editingtest;

namespace {

constexpr std::int32_t kLine = 16;  // bytes per line of a fresh editor

struct Model {
    Bytes bytes;
    bool modified = false;
    Caret caret{0, false, 0};
    std::int32_t anchor = -1, low = -1, high = -1;
    std::vector<bool> marks;
    std::int32_t undoCount = 0;
    std::int32_t records = 0;  // edits let through the gate so far
    bool noSizeChange = false;
    bool insertMode = false;

    std::int32_t Size() const { return static_cast<std::int32_t>(bytes.size()); }
    bool HasSel() const { return anchor >= 0; }
    std::int32_t SelLength() const { return HasSel() && high >= low ? high - low + 1 : 0; }
    std::int32_t CaretPosition() const { return Size() <= 0 ? 0 : std::clamp(caret.position, 0, Size() - 1); }
    void Clear() { anchor = low = high = -1; }
    void TrimMarks()
    {
        if (marks.size() > bytes.size())
            marks.resize(bytes.size());
    }
    void CutMarks(std::int32_t at)
    {
        if (marks.size() >= static_cast<std::size_t>(at))
            marks.resize(static_cast<std::size_t>(at));
    }
    // The caret after a removal: its cell stays unless it now lies past the end.
    void KeepCaretAfterRemoval(Caret cell)
    {
        if (cell.position >= Size())
            cell = Size() == 0 ? Caret{0, false, 0} : Caret{Size() - 1, cell.charPane, 0};
        caret = cell;
    }
    bool Gate(int kind, std::int32_t replaced = 0, std::int32_t count = 0)
    {
        bool allowed = Size() > 0 || kind == 2 || kind == 4;
        if (noSizeChange && allowed)
            allowed = kind == 0 || (kind == 3 && replaced == count);
        if (allowed) {
            undoCount = std::min(undoCount + 1, 100);
            ++records;
            modified = true;
        }
        return allowed;
    }
    void Remove(std::int32_t start, std::int32_t end, Caret cell)
    {
        bytes.erase(bytes.begin() + start, bytes.begin() + end);
        TrimMarks();
        KeepCaretAfterRemoval(cell);
        Clear();
    }
    void Insert(const Bytes& src, std::int32_t at)
    {
        if (bytes.empty())
            marks.clear();
        bytes.insert(bytes.begin() + at, src.begin(), src.end());
    }
    void SetSelStart(std::int32_t p)
    {
        Clear();
        caret = Caret{p, caret.charPane, 0};
    }
    void Extend(std::int32_t from, std::int32_t g)
    {
        if (!HasSel()) {
            anchor = from;
            if (insertMode) {
                if (g < anchor)
                    --anchor;
                else if (g > anchor)
                    --g;
            }
            low = std::min(g, anchor);
            high = std::max(g, anchor);
        } else if (g < anchor) {
            low = g;
            high = anchor;
        } else {
            low = anchor;
            high = insertMode ? g - 1 : g;
        }
    }
    void InsertBuffer(const Bytes& src, std::int32_t p)
    {
        if (!Gate(2))
            return;
        Insert(src, p);
        CutMarks(p);
        if (p == caret.position) {
            anchor = low = p;
            high = p + static_cast<std::int32_t>(src.size()) - 1;
        }
    }
};

struct Runner {
    Doc& doc;
    Model m;
    std::mt19937 rng;

    // The model before each recorded step, with the edit's kind and position.
    // Change marks from `floor` on may be gone for good: commands that shift
    // bytes cut the marks behind their position, and Undo cannot bring those
    // back.
    struct State {
        Model model;
        std::int32_t position;
        int kind;
        std::int32_t floor;
    };
    std::vector<State> undoStates;

    std::int32_t Rand(std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng); }
    Bytes RandomBytes(std::int32_t n)
    {
        Bytes b(static_cast<std::size_t>(n));
        for (auto& x : b)
            x = static_cast<std::uint8_t>(Rand(0, 255));
        return b;
    }

    void Check(const std::string& step)
    {
        SCOPED_TRACE(step);
        THexEditor& ed = *doc;
        ASSERT_EQ(ed.DataSize(), m.Size());
        ASSERT_EQ(Contents(ed), m.bytes);
        EXPECT_EQ(ed.Modified(), m.modified);
        EXPECT_EQ(CaretOf(ed), m.caret);
        EXPECT_EQ(ed.SelAnchor(), m.anchor);
        EXPECT_EQ(ed.SelLow(), m.low);
        EXPECT_EQ(ed.SelHigh(), m.high);
        EXPECT_EQ(ed.SelLength(), m.SelLength());
        EXPECT_EQ(ed.Document().ChangedBytes(), m.marks);
        EXPECT_EQ(ed.UndoCount(), m.undoCount);
        std::size_t logSize = 0;
        for (const auto& r : Records(ed.UndoLog()))
            logSize += LengthOf(r);
        EXPECT_EQ(logSize, ed.UndoLog().size());
    }

    // One random command on editor and model; returns its name.
    std::string Step()
    {
        THexEditor& ed = *doc;
        const std::int32_t size = m.Size();
        const Model before = m;
        const std::size_t logBefore = ed.UndoLog().size();
        std::string name;
        std::int32_t position = 0;
        int kind = -1;
        // The state the record describes, when a command changes the caret
        // or selection before it passes the gate.
        std::optional<Model> recordedState;

        switch (Rand(0, 13)) {
        case 0: {  // SelStart, sometimes out of range
            const std::int32_t p = Rand(-2, size + 1);
            name = "SelStart " + std::to_string(p);
            bool threw = false;
            try {
                ed.SetSelStart(p);
            } catch (const platform::Exception&) {
                threw = true;
            }
            EXPECT_EQ(threw, p < 0 || p >= size);
            if (!threw)
                m.SetSelStart(p);
            break;
        }
        case 1: {
            const std::int32_t p = Rand(-1, size);
            name = "SelEnd " + std::to_string(p);
            bool threw = false;
            try {
                ed.SetSelEnd(p);
            } catch (const platform::Exception&) {
                threw = true;
            }
            EXPECT_EQ(threw, p < 0 || p >= size);
            if (!threw) {
                m.Clear();
                m.Extend(m.caret.position, p);
            }
            break;
        }
        case 2: {  // a selection by cells: extend from the caret
            if (size == 0)
                return "skip";
            const std::int32_t p = Rand(0, size - 1);
            name = "Extend " + std::to_string(p);
            const auto to = ed.PositionToCell(p, m.caret.charPane);
            ed.ExtendSelection(ed.Col(), ed.Row(), to.col, to.row);
            m.Extend(m.caret.position, p);
            break;
        }
        case 3: {  // the caret to any cell of any pane
            if (size == 0)
                return "skip";
            const Caret c{Rand(0, size - 1), Rand(0, 1) == 1, 0};
            const int nibble = c.charPane ? 0 : Rand(0, 1);
            name = "Move " + std::to_string(c.position);
            MoveCaret(ed, c.position, c.charPane, nibble);
            m.Clear();
            m.caret = Caret{c.position, c.charPane, nibble};
            break;
        }
        case 4: {
            if (size == 0)
                return "skip";
            const std::int32_t p = Rand(0, size - 1);
            const auto old = m.bytes[static_cast<std::size_t>(p)];
            const auto v = static_cast<std::uint8_t>(Rand(0, 3) == 0 ? old : Rand(0, 255));
            name = "ChangeByte " + std::to_string(p);
            ed.ChangeByte(p, old, v, p / kLine);
            if (v != old && m.Gate(0)) {
                m.bytes[static_cast<std::size_t>(p)] = v;
                if (!m.insertMode) {
                    if (m.marks.size() <= static_cast<std::size_t>(p))
                        m.marks.resize(static_cast<std::size_t>(p) + 1, false);
                    m.marks[static_cast<std::size_t>(p)] = true;
                }
                kind = 0;
                position = p;
            }
            break;
        }
        case 5:
        case 6: {
            name = "DeleteSelection";
            ed.DeleteSelection();
            if (m.HasSel() && m.SelLength() == 0) {
                m.Clear();
                break;
            }
            std::int32_t start = m.HasSel() ? m.low : m.caret.position;
            std::int32_t end = m.HasSel() ? m.high + 1 : start + 1;
            end = std::min(end, std::max(size, start));
            const Caret cell = m.HasSel() ? Caret{m.low, m.caret.charPane, 0} : m.caret;
            if (static_cast<std::size_t>(start) < m.marks.size())
                m.marks.resize(static_cast<std::size_t>(start));
            if (m.Gate(1)) {
                m.Remove(start, end, cell);
                kind = 1;
                position = start;
            }
            break;
        }
        case 7: {
            const bool back = Rand(0, 1) == 1;
            name = back ? "Backspace" : "DeleteCaretByte";
            ed.DeleteCaretByte(back);
            const std::int32_t a = m.CaretPosition();
            if (back) {
                if (a > 0 && m.Gate(1)) {
                    m.Remove(a - 1, a, m.caret);
                    m.SetSelStart(a - 1);
                    kind = 1;
                    position = a - 1;
                }
            } else if (size > 0 && m.Gate(1)) {
                m.Remove(a, a + 1, m.caret);
                kind = 1;
                position = a;
            }
            break;
        }
        case 8:
        case 9: {
            const std::int32_t p = Rand(0, 1) == 0 ? m.caret.position : Rand(0, size);
            const Bytes src = RandomBytes(Rand(1, 20));
            name = "InsertBuffer " + std::to_string(p) + "+" + std::to_string(src.size());
            ed.InsertBuffer(src.data(), static_cast<std::int32_t>(src.size()), p);
            m.InsertBuffer(src, p);
            kind = 2;
            position = p;
            break;
        }
        case 10: {
            const Bytes src = RandomBytes(Rand(1, 20));
            name = "AppendBuffer " + std::to_string(src.size());
            ed.AppendBuffer(src.data(), static_cast<std::int32_t>(src.size()));
            if (m.Gate(4)) {
                m.CutMarks(size);
                m.bytes.insert(m.bytes.end(), src.begin(), src.end());
                m.caret = Caret{size, m.caret.charPane, 0};
                m.anchor = m.low = size;
                m.high = size + static_cast<std::int32_t>(src.size()) - 1;
                kind = 4;
                position = size;
            }
            break;
        }
        case 11:
        case 12: {
            Bytes src = RandomBytes(Rand(0, 12));
            auto count = static_cast<std::int32_t>(src.size());
            name = "ReplaceSelection " + std::to_string(count);
            ed.ReplaceSelection(src.data(), count);
            if (m.HasSel() && m.SelLength() == 0) {
                m.Clear();
                recordedState = m;
            }
            if (!m.HasSel()) {
                m.InsertBuffer(src, m.caret.position);
                kind = 2;
                position = before.caret.position;
                break;
            }
            if (m.noSizeChange) {
                const std::int32_t length = m.SelLength();
                if (count == 0)
                    break;
                if (length < count) {
                    count = length;
                } else if (count < length) {
                    const std::int32_t first = m.low;
                    m.SetSelStart(first);
                    m.Clear();
                    m.Extend(first, first + count - 1);
                }
                src.resize(static_cast<std::size_t>(count));
                recordedState = m;
            }
            if (!m.Gate(3, m.SelLength(), count))
                break;
            const std::int32_t start = m.low;
            const Caret remembered = m.caret;
            if (static_cast<std::size_t>(start) < m.marks.size())
                m.marks.resize(static_cast<std::size_t>(start));
            m.Remove(start, m.high + 1, Caret{start, m.caret.charPane, 0});
            m.Insert(src, start);
            m.CutMarks(start);
            if (remembered.position == start && start < m.Size()) {
                m.caret = remembered;
                m.anchor = m.low = start;
                m.high = start + count - 1;
            }
            kind = 3;
            position = start;
            break;
        }
        case 13: {
            switch (Rand(0, 5)) {
            case 0:
                m.noSizeChange = !m.noSizeChange;
                ed.SetNoSizeChange(m.noSizeChange);
                name = "NoSizeChange";
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
                const bool moved = ed.SeekCaret(offset, origin, strict);
                std::int64_t p = origin == 0 ? offset
                                 : origin == 1 ? offset + m.CaretPosition()
                                 : origin == 2 ? offset + size - 1
                                               : m.CaretPosition();
                bool expected = size > 0;
                if (expected && (p < 0 || p >= size)) {
                    if (strict)
                        expected = false;
                    else
                        p = std::clamp<std::int64_t>(p, 0, size - 1);
                }
                EXPECT_EQ(moved, expected);
                if (expected)
                    m.SetSelStart(static_cast<std::int32_t>(p));
            }
            }
            m.insertMode = ed.InsertModeActive();
            break;
        }
        }
        // A step that wrote a record is one step for Undo to take back.
        const bool recorded = m.records != before.records;
        // Once full, the log drops a record for each one it adds.
        EXPECT_TRUE(recorded || ed.UndoLog().size() == logBefore) << name;
        std::int32_t cut = std::numeric_limits<std::int32_t>::max();
        if (recorded && (kind == 1 || kind == 2 || kind == 3))
            cut = position;
        else if (!recorded && m.marks.size() < before.marks.size())
            cut = static_cast<std::int32_t>(m.marks.size());  // a refused deletion
        for (auto& state : undoStates)
            state.floor = std::min(state.floor, cut);
        if (recorded) {
            const bool keepsAll = kind == 0 || kind == 4;
            Model restored = recordedState ? *recordedState : before;
            restored.modified = before.modified;
            undoStates.push_back(State{restored, position, kind, keepsAll ? std::numeric_limits<std::int32_t>::max() : position});
        }
        return name;
    }
};

}  // namespace

TEST(RandomEditing, CommandsFollowTheModelAndUndoRestoresTheStart)
{
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const auto size = std::uniform_int_distribution<std::int32_t>(0, 3)(rng) == 0
                              ? 0
                              : std::uniform_int_distribution<std::int32_t>(1, 300)(rng);
        const Bytes original = Pattern(size, seed);
        Doc doc(original);
        Runner run{doc, Model{}, std::mt19937(seed * 7919u), {}};
        run.m.bytes = original;
        // Long runs go past the limit of 100 records.
        const int steps = seed % 4 == 0 ? 260 : 90;
        for (int i = 0; i < steps && !::testing::Test::HasFatalFailure(); ++i) {
            const std::string name = run.Step();
            run.Check(std::to_string(i) + " " + name);
            if (::testing::Test::HasFailure())
                return;
        }

        // Undo everything the log still holds.
        doc->SetNoSizeChange(false);
        doc->SetInsertState(false);
        const std::size_t kept = std::min<std::size_t>(run.undoStates.size(), 100);
        ASSERT_EQ(static_cast<std::size_t>(doc->UndoCount()), kept);
        for (std::size_t n = 0; n < kept; ++n) {
            const Runner::State& s = run.undoStates[run.undoStates.size() - 1 - n];
            SCOPED_TRACE("undo " + std::to_string(n) + " of kind " + std::to_string(s.kind));
            ASSERT_TRUE(doc->CanUndo());
            ASSERT_TRUE(doc->Undo());
            ASSERT_EQ(Contents(*doc), s.model.bytes);
            EXPECT_EQ(doc->Modified(), s.model.modified);
            EXPECT_EQ(CaretOf(*doc), s.model.caret);
            EXPECT_EQ(doc->SelAnchor(), s.model.anchor);
            EXPECT_EQ(doc->SelLow(), s.model.low);
            EXPECT_EQ(doc->SelHigh(), s.model.high);
            // Marks that no later command cut come back; a byte change always
            // restores the mark of its byte.
            const auto& marks = doc->Document().ChangedBytes();
            const auto markAt = [](const std::vector<bool>& v, std::size_t i) { return i < v.size() && v[i]; };
            for (std::size_t i = 0; i < std::max(marks.size(), s.model.marks.size()); ++i) {
                if (static_cast<std::int32_t>(i) < s.floor || (s.kind == 0 && static_cast<std::int32_t>(i) == s.position)) {
                    EXPECT_EQ(markAt(marks, i), markAt(s.model.marks, i)) << "mark " << i;
                }
            }
            if (::testing::Test::HasFailure())
                return;
        }
        EXPECT_FALSE(doc->CanUndo());
        EXPECT_FALSE(doc->Undo());
        if (run.undoStates.size() <= 100) {
            EXPECT_EQ(Contents(*doc), original);
            EXPECT_FALSE(doc->Modified());
        }
    }
}
