// SPDX-License-Identifier: GPL-3.0-or-later
// The byte editor with its protected members open to the tests: the state,
// modes and commands no program uses, the layout, drawing and input steps.
#pragma once

#include "DocumentProbe.h"
#include "hexeditor/hexeditor.h"

#include <vector>

namespace testsupport {

class HexEditorProbe : public THexEditor {
public:
    using THexEditor::THexEditor;

    using THexEditor::CreateBackup;
    using THexEditor::Document;
    using THexEditor::FileIsReadOnly;

    using THexEditor::IsByteChanged;
    using THexEditor::ReadByte;
    using THexEditor::WriteByte;

    using THexEditor::MaskWhiteSpaces;
    using THexEditor::NoSizeChange;
    using THexEditor::SetInsertState;
    using THexEditor::SetMaskChar;
    using THexEditor::SetMaskWhiteSpaces;
    using THexEditor::SetNoSizeChange;
    using THexEditor::SetReadOnlyView;

    using THexEditor::ClearSelection;
    using THexEditor::ExtendSelection;
    using THexEditor::SelAnchor;
    using THexEditor::SelHigh;
    using THexEditor::Selecting;
    using THexEditor::SelLow;
    using THexEditor::SetSelecting;

    using THexEditor::ChangeByte;
    using THexEditor::DeleteCaretByte;
    using THexEditor::SeekCaret;
    using THexEditor::SetUndoFileRecordsFrom;
    using THexEditor::UndoCount;
    using THexEditor::UndoLog;

    using THexEditor::Cell;
    using THexEditor::CellToPosition;
    using THexEditor::CharWidth;
    using THexEditor::CustomLineLengths;
    using THexEditor::DigitsPerGroup;
    using THexEditor::GridSizeChanged;
    using THexEditor::HexColumns;
    using THexEditor::IsBeyondLine;
    using THexEditor::IsCharPaneColumn;
    using THexEditor::LineLength;
    using THexEditor::LineStart;
    using THexEditor::LineTable;
    using THexEditor::OffsetChars;
    using THexEditor::OffsetSeparator;
    using THexEditor::OffsetText;
    using THexEditor::PositionToCell;
    using THexEditor::RowHeight;
    using THexEditor::RowOfPosition;
    using THexEditor::SetCustomLineLengths;
    using THexEditor::SetLineLength;
    using THexEditor::SetShowMarkerColumn;
    using THexEditor::SetSwapNibbles;
    using THexEditor::ShowMarkerColumn;
    using THexEditor::TwinColumn;
    using THexEditor::UpdateOffsetWidth;

    using THexEditor::AutoCaretMode;
    using THexEditor::CaretBitmap;
    using THexEditor::CaretStyle;
    using THexEditor::CellAppearance;
    using THexEditor::FontColor;
    using THexEditor::kMarkerCount;
    using THexEditor::MarkerFont;
    using THexEditor::MarkerOnRow;
    using THexEditor::MarkerPointSize;
    using THexEditor::MarkerRow;
    using THexEditor::SetCaretStyle;
    using THexEditor::SetColors;
    using THexEditor::SetFocusFrame;
    using THexEditor::SetMarker;

    using THexEditor::AltReleased;
    using THexEditor::DialogCode;
    using THexEditor::KeyDown;
    using THexEditor::KeyPress;
    using THexEditor::KeyUp;
    using THexEditor::SetWantTabs;
    using THexEditor::WantTabs;

    // The document's change marks and whether its working copy is open.
    const std::vector<bool>& ChangedBytes() const { return DocumentProbe::ChangedBytesOf(Document()); }
    bool HasWorkingFile() const { return DocumentProbe::HasWorkingFileOf(Document()); }
};

}  // namespace testsupport
