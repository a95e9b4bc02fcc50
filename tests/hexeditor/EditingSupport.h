// Helpers for the editing and undo tests: an editor loaded with a document of
// known bytes, its contents read back, and the undo log decoded record by record.
#pragma once

#include "Pattern.h"
#include "TempDir.h"
#include "hexeditor/hexeditor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace editingtest {

using testsupport::Bytes;

using testsupport::Pattern;

// An editor holding a document: loaded from a file (non-empty data) or a new
// empty document.
struct Doc {
    testsupport::TempDir dir;
    std::unique_ptr<THexEditor> ed = std::make_unique<THexEditor>();

    explicit Doc(const Bytes& data)
    {
        ed->PropertiesLoaded();
        if (!data.empty()) {
            testsupport::WriteFile(dir / "doc.bin", data);
            EXPECT_TRUE(ed->LoadFromFile(dir / "doc.bin"));
        }
    }
    THexEditor& operator*() { return *ed; }
    THexEditor* operator->() { return ed.get(); }
};

inline Bytes Contents(THexEditor& ed)
{
    Bytes data(static_cast<std::size_t>(ed.DataSize()));
    if (!data.empty())
        ed.ReadBuffer(data.data(), 0, static_cast<std::int32_t>(data.size()));
    return data;
}

inline std::int32_t I32(const Bytes& b, std::size_t at)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
                                     (static_cast<std::uint32_t>(b[at + 2]) << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

struct Record {
    int kind, mark, modified;
    std::int32_t caret;
    int nibble, charPane;
    std::int32_t low, high, anchor, position, count, replaced;
    Bytes saved;
    std::int32_t length;  // trailing field
};

// Every record of a log, oldest first, found by walking the trailing lengths
// backwards from the end (as the editor does).
inline std::vector<Record> Records(const Bytes& log)
{
    std::vector<Record> out;
    std::size_t end = log.size();
    while (end > 0) {
        if (end < 37) {
            ADD_FAILURE() << "damaged log tail at " << end;
            break;
        }
        const std::int32_t length = I32(log, end - 4);
        if (length < 37 || static_cast<std::size_t>(length) > end) {
            ADD_FAILURE() << "bad record length " << length;
            break;
        }
        const std::size_t s = end - static_cast<std::size_t>(length);
        Record r{};
        r.kind = log[s];
        r.mark = log[s + 1];
        r.modified = log[s + 2];
        r.caret = I32(log, s + 3);
        r.nibble = log[s + 7];
        r.charPane = log[s + 8];
        r.low = I32(log, s + 9);
        r.high = I32(log, s + 13);
        r.anchor = I32(log, s + 17);
        r.position = I32(log, s + 21);
        r.count = I32(log, s + 25);
        r.replaced = I32(log, s + 29);
        r.saved.assign(log.begin() + static_cast<std::ptrdiff_t>(s + 33), log.begin() + static_cast<std::ptrdiff_t>(end - 4));
        r.length = length;
        out.insert(out.begin(), r);
        end = s;
    }
    return out;
}

inline Record Newest(THexEditor& ed)
{
    const auto all = Records(ed.UndoLog());
    if (all.empty()) {
        ADD_FAILURE() << "no undo record";
        return Record{};
    }
    return all.back();
}

// Caret cell as (position, in character pane, nibble column).
struct Caret {
    std::int32_t position;
    bool charPane;
    int nibble;
    bool operator==(const Caret&) const = default;
};

inline Caret CaretOf(THexEditor& ed)
{
    Caret c{};
    c.position = ed.CellToPosition(ed.Col(), ed.Row());
    c.charPane = ed.InCharPane();
    c.nibble = c.charPane ? 0 : (ed.Col() - 2) % 2;
    return c;
}

inline void MoveCaret(THexEditor& ed, std::int32_t position, bool charPane, int nibble = 0)
{
    auto cell = ed.PositionToCell(position, charPane);
    if (!charPane)
        cell.col += nibble;
    ed.SetCurrentCell(cell.col, cell.row, true);
}

}  // namespace editingtest
