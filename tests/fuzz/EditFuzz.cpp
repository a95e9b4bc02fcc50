// Fuzz target: a sequence of editing commands on THexEditor, decoded from the
// input, checked after every command against a plain byte-vector model of the
// document; every recorded step is remembered and Undo (at any point, and for
// everything left at the end) must bring back the bytes from before it.
// Caret and selection are read from the editor before each command, so the
// model follows the document's bytes, not the grid.
#include "FuzzSupport.h"

#include "hexeditor/hexeditor.h"
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

std::int32_t I32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

// Walks the log back to front by the trailing lengths; the record count, or
// -1 when the lengths do not add up.
int CountRecords(const Bytes& log)
{
    std::size_t end = log.size();
    int n = 0;
    while (end > 0) {
        if (end < 37)
            return -1;
        const std::int32_t length = I32(log.data() + end - 4);
        if (length < 37 || static_cast<std::size_t>(length) > end)
            return -1;
        end -= static_cast<std::size_t>(length);
        ++n;
    }
    return n;
}

// Whether undoing the newest record changes the document's length.
bool NewestChangesSize(const Bytes& log)
{
    const std::int32_t length = I32(log.data() + log.size() - 4);
    const std::uint8_t* r = log.data() + log.size() - length;
    const int kind = r[0];
    return kind == 1 || kind == 2 || kind == 4 || kind == 5 || kind == 6 || (kind == 3 && I32(r + 29) != I32(r + 25));
}

Bytes Contents(THexEditor& ed)
{
    Bytes b(static_cast<std::size_t>(std::max(ed.DataSize(), 0)));
    if (!b.empty())
        ed.ReadBuffer(b.data(), 0, static_cast<std::int32_t>(b.size()));
    return b;
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

void Erase(Bytes& b, std::int32_t start, std::int32_t end)
{
    const auto size = static_cast<std::int32_t>(b.size());
    start = std::clamp(start, 0, size);
    end = std::clamp(end, start, size);
    b.erase(b.begin() + start, b.begin() + end);
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
    THexEditor ed;
    ed.PropertiesLoaded();
    Bytes model = in.Take(in.Byte() < 40 ? 0 : in.Int(1, 600));
    if (!model.empty()) {
        fuzzsupport::WriteAll(w.folder + "doc.bin", model);
        FUZZ_CHECK(ed.LoadFromFile(w.folder + "doc.bin"), "load failed");
    }

    struct Step {
        Bytes before;
    };
    std::vector<Step> undo;  // the bytes before each step the log still holds
    Bytes log = ed.UndoLog();
    bool noSizeChange = false;
    // KH_FUZZ_TRACE=1 prints every command with the editor's state after it.
    static const bool trace = std::getenv("KH_FUZZ_TRACE") != nullptr;

    for (int n = 0; n < 200 && !in.Done(); ++n) {
        const std::int32_t dataSize = static_cast<std::int32_t>(model.size());
        const Bytes before = model;
        const std::int32_t caret = ed.CellToPosition(ed.Col(), ed.Row());
        const bool hasSel = ed.SelAnchor() >= 0;
        const std::int32_t low = ed.SelLow();
        const std::int32_t high = ed.SelHigh();
        const std::int32_t selLength = hasSel && high >= low ? high - low + 1 : 0;
        // An empty selection (insert mode, extended back to its anchor)
        // selects nothing.
        const bool selects = hasSel && selLength > 0;
        std::string name;
        bool undid = false;

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
            FUZZ_CHECK(threw == (p < 0 || p >= dataSize), name + ": wrong refusal");
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
            FUZZ_CHECK(threw == (p < 0 || p >= dataSize), name + ": wrong refusal");
            break;
        }
        case 2: {
            if (dataSize == 0)
                break;
            const std::int32_t p = in.Int(0, dataSize - 1);
            const auto to = ed.PositionToCell(p, in.Byte() % 2 == 1);
            name = "ExtendSelection " + std::to_string(p);
            ed.ExtendSelection(ed.Col(), ed.Row(), to.col, to.row);
            break;
        }
        case 3: {
            if (dataSize == 0)
                break;
            const std::int32_t p = in.Int(0, dataSize - 1);
            const std::uint8_t old = ed.ReadByte(p);
            FUZZ_CHECK(old == model[static_cast<std::size_t>(p)], "ReadByte disagrees");
            const std::uint8_t v = in.Byte();
            name = "ChangeByte " + std::to_string(p);
            ed.ChangeByte(p, old, v, ed.RowOfPosition(p));
            model[static_cast<std::size_t>(p)] = v;
            break;
        }
        case 4:
        case 5: {
            name = "DeleteSelection";
            ed.DeleteSelection();
            if (hasSel && !selects)
                break;
            const std::int32_t start = selects ? low : caret;
            const std::int32_t end = selects ? high + 1 : caret + 1;
            if (dataSize > 0 && !noSizeChange)
                Erase(model, start, end);
            break;
        }
        case 6: {
            const bool back = in.Byte() % 2 == 1;
            name = back ? "Backspace" : "Delete";
            const std::int32_t a = ed.CaretPosition();
            ed.DeleteCaretByte(back);
            if (dataSize > 0 && !noSizeChange) {
                if (back && a > 0)
                    Erase(model, a - 1, a);
                else if (!back)
                    Erase(model, a, a + 1);
            }
            break;
        }
        case 7: {
            const std::int32_t p = in.Byte() % 2 ? caret : in.Int(-2, dataSize + 2);
            const Bytes src = in.Take(in.Int(1, 40));
            name = "InsertBuffer " + std::to_string(p) + "+" + std::to_string(src.size());
            ed.InsertBuffer(src.data(), static_cast<std::int32_t>(src.size()), p);
            if (!noSizeChange && p >= 0 && p <= dataSize)
                model.insert(model.begin() + p, src.begin(), src.end());
            break;
        }
        case 8: {
            const Bytes src = in.Take(in.Int(1, 40));
            name = "AppendBuffer " + std::to_string(src.size());
            ed.AppendBuffer(src.data(), static_cast<std::int32_t>(src.size()));
            if (!noSizeChange)
                model.insert(model.end(), src.begin(), src.end());
            break;
        }
        case 9:
        case 10: {
            Bytes src = in.Take(in.Int(0, 30));
            const auto count = static_cast<std::int32_t>(src.size());
            name = "ReplaceSelection " + std::to_string(count);
            ed.ReplaceSelection(src.data(), count);
            if (!selects) {
                if (!noSizeChange && caret >= 0 && caret <= dataSize)
                    model.insert(model.begin() + caret, src.begin(), src.end());
            } else if (noSizeChange) {
                const std::int32_t n = std::min(count, selLength);
                std::copy(src.begin(), src.begin() + n, model.begin() + low);
            } else {
                Erase(model, low, high + 1);
                model.insert(model.begin() + low, src.begin(), src.end());
            }
            break;
        }
        case 11: {
            const std::int32_t offset = in.Int(-40, 40);
            const int origin = in.Byte() % 4;
            const bool strict = in.Byte() % 2 == 1;
            name = "SeekCaret";
            ed.SeekCaret(offset, origin, strict);
            break;
        }
        case 12:
            noSizeChange = !noSizeChange;
            name = "NoSizeChange";
            ed.SetNoSizeChange(noSizeChange);
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
        case 15: {
            name = "Undo";
            undid = true;
            const bool refused = !undo.empty() && noSizeChange && NewestChangesSize(ed.UndoLog());
            const bool expected = !undo.empty() && !refused;
            FUZZ_CHECK(ed.Undo() == expected, "Undo answered wrongly");
            if (expected) {
                model = undo.back().before;
                undo.pop_back();
            }
            break;
        }
        }

        if (trace)
            std::fprintf(stderr, "%3d %-28s size %d caret %d (col %d row %d) sel %d..%d anchor %d insert %d\n", n,
                         name.c_str(), ed.DataSize(), ed.CellToPosition(ed.Col(), ed.Row()), ed.Col(), ed.Row(),
                         ed.SelLow(), ed.SelHigh(), ed.SelAnchor(), ed.InsertModeActive() ? 1 : 0);

        // The editor agrees with the model after every command.
        const Bytes now = Contents(ed);
        FUZZ_CHECK(ed.DataSize() == static_cast<std::int32_t>(model.size()),
                   name + ": DataSize " + std::to_string(ed.DataSize()) + ", model " + std::to_string(model.size()));
        FUZZ_CHECK(now == model, name + ": editor " + Hex(now) + ", model " + Hex(model));
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
        if (!undid && ed.UndoLog() != log) {
            undo.push_back(Step {before});
            if (undo.size() > 100)
                undo.erase(undo.begin());
        }
        FUZZ_CHECK(static_cast<std::size_t>(ed.UndoCount()) == undo.size(),
                   name + ": " + std::to_string(ed.UndoCount()) + " records, " + std::to_string(undo.size()) +
                       " recorded steps");
        log = ed.UndoLog();
    }

    // Everything the log holds is undone, newest first.
    ed.SetNoSizeChange(false);
    while (!undo.empty()) {
        FUZZ_CHECK(ed.Undo(), "Undo refused with records left");
        FUZZ_CHECK(Contents(ed) == undo.back().before, "Undo did not restore the bytes");
        undo.pop_back();
    }
    FUZZ_CHECK(!ed.Undo(), "Undo with an empty log");
    return 0;
}
