// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: a sequence of editing commands on HexEditorProbe, decoded from the
// input, run side by side with the shared editor model
// (tests/support/EditorModel.h). After every command the document's bytes,
// Modified, the change marks and the undo count must agree; Undo (at any
// point, and for everything left at the end) must bring back the bytes from
// before each recorded step. Caret and selection are read from the editor
// before each command and handed to the model, so the model follows the
// view instead of predicting it, and commands that only move the view (cells
// in either pane, a new BytesPerLine) need nothing of it.
#include "EditorModel.h"
#include "FuzzSupport.h"

#include "hexeditor/core/UndoRecord.h"
#include "HexEditorProbe.h"
#include "platform/system/Exceptions.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <sys/stat.h>
#include <vector>

using testsupport::HexEditorProbe;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool Done() const { return at >= size; }
    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    // A number in lo..hi.
    std::int32_t Int(std::int32_t lo, std::int32_t hi)
    {
        const std::uint32_t span = static_cast<std::uint32_t>(hi - lo) + 1;
        const std::uint32_t raw = static_cast<std::uint32_t>(Byte()) | static_cast<std::uint32_t>(Byte()) << 8;
        return lo + static_cast<std::int32_t>(raw % span);
    }
    Bytes Take(std::int32_t n)
    {
        Bytes b;
        for (std::int32_t i = 0; i < n; ++i)
            b.push_back(Byte());
        return b;
    }
};

// Walks the log back to front by the trailing lengths; the record count, or
// -1 when the lengths do not add up.
int CountRecords(const Bytes& log)
{
    std::size_t end = log.size();
    int n = 0;
    while (end > 0) {
        const std::size_t length = hexcore::UndoRecord::LengthEndingAt(log.data(), end);
        if (length == 0)
            return -1;
        end -= length;
        ++n;
    }
    return n;
}

Bytes Contents(const HexEditorProbe& ed)
{
    Bytes b(static_cast<std::size_t>(std::max(ed.DataSize(), 0)));
    if (!b.empty())
        ed.ReadBuffer(b.data(), 0, static_cast<std::int32_t>(b.size()));
    return b;
}

testsupport::ModelCaret CaretOf(const HexEditorProbe& ed)
{
    const bool charPane = ed.InCharPane();
    return {ed.CellToPosition(ed.Col(), ed.Row()), charPane, charPane ? 0 : (ed.Col() - 2) % 2};
}

std::string Hex(const Bytes& b)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < b.size() && i < 64; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s + (b.size() > 64 ? "..." : "") + " (" + std::to_string(b.size()) + " bytes)";
}

struct World {
    std::string folder;
};

World& TheWorld()
{
    static World* world = [] {
        auto* w = new World;
        w->folder = fuzzsupport::MakeFolder("kh-edit-fuzz");
        ::mkdir((w->folder + "tmp").c_str(), 0700);
        ::setenv("TMPDIR", (w->folder + "tmp").c_str(), 1);
        fuzzsupport::StartApplication();
        return w;
    }();
    return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    World& w = TheWorld();
    Input in {data, size};

    // The document: up to 600 bytes of the input, or a new empty one.
    HexEditorProbe ed;
    ed.PropertiesLoaded();
    testsupport::EditorModel model;
    model.bytes = in.Take(in.Byte() < 40 ? 0 : in.Int(1, 600));
    if (!model.bytes.empty()) {
        fuzzsupport::WriteAll(w.folder + "doc.bin", model.bytes);
        FUZZ_CHECK(ed.LoadFromFile(w.folder + "doc.bin"), "load failed");
    }
    bool noSizeChange = false;
    // KH_FUZZ_TRACE=1 prints every command with the editor's state after it.
    static const bool trace = std::getenv("KH_FUZZ_TRACE") != nullptr;

    for (int n = 0; n < 200 && !in.Done(); ++n) {
        const std::int32_t dataSize = model.Size();
        model.FollowView(CaretOf(ed), ed.SelAnchor(), ed.SelLow(), ed.SelHigh(), ed.InsertModeActive(), noSizeChange);
        std::string name;

        switch (in.Byte() % 17) {
        case 0: {
            const std::int32_t p = in.Int(-2, dataSize + 1);
            name = "SelStart " + std::to_string(p);
            bool threw = false;
            try {
                ed.SetSelStart(p);
            } catch (const platform::Exception&) {
                threw = true;
            }
            FUZZ_CHECK(threw == !model.SetSelStart(p), name + ": wrong refusal");
            break;
        }
        case 1: {
            const std::int32_t p = in.Int(-2, dataSize + 1);
            name = "SelEnd " + std::to_string(p);
            bool threw = false;
            try {
                ed.SetSelEnd(p);
            } catch (const platform::Exception&) {
                threw = true;
            }
            FUZZ_CHECK(threw == !model.SetSelEnd(p), name + ": wrong refusal");
            break;
        }
        case 2: {
            if (dataSize == 0)
                break;
            const std::int32_t p = in.Int(0, dataSize - 1);
            const auto to = ed.PositionToCell(p, in.Byte() % 2 == 1);
            name = "ExtendSelection " + std::to_string(p);
            ed.ExtendSelection(ed.Col(), ed.Row(), to.col, to.row);
            model.ExtendTo(p);
            break;
        }
        case 3: {
            if (dataSize == 0)
                break;
            const std::int32_t p = in.Int(0, dataSize - 1);
            const std::uint8_t old = ed.ReadByte(p);
            FUZZ_CHECK(old == model.bytes[static_cast<std::size_t>(p)], "ReadByte disagrees");
            const std::uint8_t v = in.Byte();
            name = "ChangeByte " + std::to_string(p);
            ed.ChangeByte(p, old, v, ed.RowOfPosition(p));
            model.ChangeByte(p, v);
            break;
        }
        case 4:
        case 5:
            name = "DeleteSelection";
            ed.DeleteSelection();
            model.DeleteSelection();
            break;
        case 6: {
            const bool back = in.Byte() % 2 == 1;
            name = back ? "Backspace" : "Delete";
            ed.DeleteCaretByte(back);
            model.DeleteCaretByte(back);
            break;
        }
        case 7: {
            const std::int32_t p = in.Byte() % 2 ? model.caret.position : in.Int(-2, dataSize + 2);
            const Bytes src = in.Take(in.Int(1, 40));
            name = "InsertBuffer " + std::to_string(p) + "+" + std::to_string(src.size());
            ed.InsertBuffer(src.data(), static_cast<std::int32_t>(src.size()), p);
            model.InsertBuffer(src, p);
            break;
        }
        case 8: {
            const Bytes src = in.Take(in.Int(1, 40));
            name = "AppendBuffer " + std::to_string(src.size());
            ed.AppendBuffer(src.data(), static_cast<std::int32_t>(src.size()));
            model.AppendBuffer(src);
            break;
        }
        case 9:
        case 10: {
            const Bytes src = in.Take(in.Int(0, 30));
            name = "ReplaceSelection " + std::to_string(src.size());
            ed.ReplaceSelection(src.data(), static_cast<std::int32_t>(src.size()));
            model.ReplaceSelection(src);
            break;
        }
        case 11: {
            const std::int32_t offset = in.Int(-40, 40);
            const int origin = in.Byte() % 4;
            const bool strict = in.Byte() % 2 == 1;
            name = "SeekCaret";
            FUZZ_CHECK(ed.SeekCaret(offset, origin, strict) == model.SeekCaret(offset, origin, strict),
                       name + ": wrong answer");
            break;
        }
        case 12:
            noSizeChange = !noSizeChange;
            name = "NoSizeChange";
            ed.SetNoSizeChange(noSizeChange);
            model.SetNoSizeChange(noSizeChange);
            break;
        case 13:
            name = "InsertState";
            ed.SetAllowInsertMode(true);
            ed.SetInsertState(!ed.InsertState());
            break;
        case 14: {
            // The caret to any byte's cell, in either pane and on either nibble.
            if (dataSize == 0)
                break;
            const std::int32_t p = in.Int(0, dataSize - 1);
            const bool charPane = in.Byte() % 2 == 1;
            auto cell = ed.PositionToCell(p, charPane);
            if (!charPane)
                cell.col += in.Byte() % 2;
            name = "Move " + std::to_string(p);
            ed.SetCurrentCell(cell.col, cell.row, true);
            break;
        }
        case 16: {
            // A new layout keeps the current byte and the selection.
            const std::int32_t bytes = in.Int(-1, 40);
            name = "BytesPerLine " + std::to_string(bytes);
            try {
                ed.SetBytesPerLine(bytes);
            } catch (const platform::Exception&) {
                FUZZ_CHECK(bytes < 1, name + ": refused");
            }
            break;
        }
        case 15:
            name = "Undo";
            FUZZ_CHECK(ed.Undo() == model.Undo(), "Undo answered wrongly");
            break;
        }

        if (trace)
            std::fprintf(stderr, "%3d %-28s size %d caret %d (col %d row %d) sel %d..%d anchor %d insert %d\n", n,
                         name.c_str(), ed.DataSize(), ed.CellToPosition(ed.Col(), ed.Row()), ed.Col(), ed.Row(),
                         ed.SelLow(), ed.SelHigh(), ed.SelAnchor(), ed.InsertModeActive() ? 1 : 0);

        // The editor agrees with the model after every command.
        const Bytes now = Contents(ed);
        FUZZ_CHECK(ed.DataSize() == model.Size(),
                   name + ": DataSize " + std::to_string(ed.DataSize()) + ", model " + std::to_string(model.Size()));
        FUZZ_CHECK(now == model.bytes, name + ": editor " + Hex(now) + ", model " + Hex(model.bytes));
        FUZZ_CHECK(ed.Modified() == model.modified, name + ": Modified");
        FUZZ_CHECK(ed.ChangedBytes() == model.marks, name + ": change marks");
        const std::int32_t size = ed.DataSize();
        FUZZ_CHECK(ed.CaretPosition() >= 0 && ed.CaretPosition() <= std::max(size - 1, 0), name + ": caret");
        if (ed.SelAnchor() >= 0) {
            FUZZ_CHECK(ed.SelLow() >= 0 && ed.SelHigh() < std::max(size, 1) && ed.SelLow() <= ed.SelHigh() + 1,
                       name + ": selection " + std::to_string(ed.SelLow()) + ".." + std::to_string(ed.SelHigh()) +
                           " of " + std::to_string(size));
        } else {
            FUZZ_CHECK(ed.SelLow() == -1 && ed.SelHigh() == -1, name + ": selection without anchor");
        }
        const int records = CountRecords(ed.UndoLog());
        FUZZ_CHECK(records == ed.UndoCount() && records <= 100, name + ": undo log damaged");
        // A step that wrote a record is one step for Undo to take back.
        FUZZ_CHECK(ed.UndoCount() == model.undoCount && model.steps.size() == static_cast<std::size_t>(model.undoCount),
                   name + ": " + std::to_string(ed.UndoCount()) + " records, " + std::to_string(model.steps.size()) +
                       " recorded steps");
    }

    // Everything the log holds is undone, newest first.
    ed.SetNoSizeChange(false);
    model.SetNoSizeChange(false);
    while (!model.steps.empty()) {
        FUZZ_CHECK(ed.Undo(), "Undo refused with records left");
        model.Undo();
        FUZZ_CHECK(Contents(ed) == model.bytes, "Undo did not restore the bytes");
    }
    FUZZ_CHECK(!ed.Undo(), "Undo with an empty log");
    return 0;
}
