// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the editing and undo tests: an editor loaded with a document of
// known bytes, its contents read back, and the undo log split into records.
#pragma once

#include "HexEditorProbe.h"
#include "Pattern.h"
#include "TempDir.h"
#include "hexeditor/core/UndoRecord.h"
#include "hexeditor/hexeditor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using testsupport::HexEditorProbe;

namespace editingtest {

using testsupport::Bytes;

using testsupport::Pattern;

// An editor holding a document: loaded from a file (non-empty data) or a new
// empty document.
struct Doc {
    testsupport::TempDir dir;
    std::unique_ptr<HexEditorProbe> ed = std::make_unique<HexEditorProbe>();

    explicit Doc(const Bytes& data)
    {
        ed->PropertiesLoaded();
        if (!data.empty()) {
            testsupport::WriteFile(dir / "doc.bin", data);
            EXPECT_TRUE(ed->LoadFromFile(dir / "doc.bin"));
        }
    }
    HexEditorProbe& operator*() { return *ed; }
    HexEditorProbe* operator->() { return ed.get(); }
};

inline Bytes Contents(HexEditorProbe& ed)
{
    Bytes data(static_cast<std::size_t>(ed.DataSize()));
    if (!data.empty())
        ed.ReadBuffer(data.data(), 0, static_cast<std::int32_t>(data.size()));
    return data;
}

using hexcore::UndoKind;
using hexcore::UndoRecord;

// Every record of a log, oldest first, found by walking the trailing lengths
// backwards from the end (as the log does) and read by the core's decoder.
inline std::vector<UndoRecord> Records(const Bytes& log)
{
    std::vector<UndoRecord> out;
    std::size_t end = log.size();
    while (end > 0) {
        const std::size_t length = UndoRecord::LengthEndingAt(log.data(), end);
        if (length == 0) {
            ADD_FAILURE() << "damaged log tail at " << end;
            break;
        }
        out.insert(out.begin(), *UndoRecord::Decode(log.data() + end - length, length));
        end -= length;
    }
    return out;
}

// A record's length in the log (its trailing field, which decoding checked).
inline std::size_t LengthOf(const UndoRecord& record)
{
    return record.Encode().size();
}

inline UndoRecord Newest(HexEditorProbe& ed)
{
    const auto all = Records(ed.UndoLog());
    if (all.empty()) {
        ADD_FAILURE() << "no undo record";
        return UndoRecord{};
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

inline Caret CaretOf(HexEditorProbe& ed)
{
    Caret c{};
    c.position = ed.CellToPosition(ed.Col(), ed.Row());
    c.charPane = ed.InCharPane();
    c.nibble = c.charPane ? 0 : (ed.Col() - 2) % 2;
    return c;
}

inline void MoveCaret(HexEditorProbe& ed, std::int32_t position, bool charPane, int nibble = 0)
{
    auto cell = ed.PositionToCell(position, charPane);
    if (!charPane)
        cell.col += nibble;
    ed.SetCurrentCell(cell.col, cell.row, true);
}

}  // namespace editingtest
