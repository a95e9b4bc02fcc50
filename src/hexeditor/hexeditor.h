// SPDX-License-Identifier: GPL-3.0-or-later
// THexEditor: the byte editor's widget. It shows one document (the document
// core, hexcore::Document: working copy, page buffer, change marks, undo log)
// in a grid of offset, marker, hex and character columns, and keeps the view
// state: the caret (the grid's current cell), its pane, the selection, the
// layout, the colours and the input handling. Every change of the document
// goes through the editor's commands, which keep the view in step.
#pragma once

#include "hexeditor/core/Document.h"
#include "hexeditor/core/Search.h"
#include "hexeditor/core/Translation.h"
#include "platform/widgets/Colors.h"
#include "platform/widgets/Grid.h"

#include <QFont>
#include <QImage>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// How the offset column labels rows.
enum TOffsetDisplayStyle : std::uint8_t { odHex, odDec, odOctal, odNone };

// The shape of the caret.
enum TCaretStyle : std::uint8_t { csFull, csLeftLine, csBottomLine };

using platform::TColor;

class THexEditor;

// The byte editor's colour set. Every setter repaints its editor when the
// value changes; OddColumn and EvenColumn also recompute their RGB inverse
// (the colour of selected, unchanged hex digits), and Background is also the
// editor control's own colour.
class TColors {
public:
    explicit TColors(THexEditor* editor);
    TColors(const TColors&) = delete;
    TColors& operator=(const TColors&) = delete;

    // Takes over every colour of another set (through the setters).
    void Assign(const TColors& other);

    // Each of the low three bytes replaced by 255 minus itself; system
    // colour codes are not resolved first.
    static TColor RgbInverse(TColor color);

    TColor Offset() const { return offset_; }
    void SetOffset(TColor value);
    TColor OddColumn() const { return oddColumn_; }
    void SetOddColumn(TColor value);
    TColor OddColumnInverse() const { return oddColumnInverse_; }
    TColor EvenColumn() const { return evenColumn_; }
    void SetEvenColumn(TColor value);
    TColor EvenColumnInverse() const { return evenColumnInverse_; }
    TColor PositionBackground() const { return positionBackground_; }
    void SetPositionBackground(TColor value);
    TColor CursorFrame() const { return cursorFrame_; }
    void SetCursorFrame(TColor value);
    TColor Background() const { return background_; }
    void SetBackground(TColor value);
    TColor ChangedText() const { return changedText_; }
    void SetChangedText(TColor value);
    TColor PositionText() const { return positionText_; }
    void SetPositionText(TColor value);
    TColor ChangedBackground() const { return changedBackground_; }
    void SetChangedBackground(TColor value);

private:
    void Set(TColor& field, TColor value);

    TColor offset_ = platform::clBlack;
    TColor oddColumn_ = platform::clBlue;
    TColor oddColumnInverse_ = RgbInverse(platform::clBlue);
    TColor evenColumn_ = platform::clNavy;
    TColor evenColumnInverse_ = RgbInverse(platform::clNavy);
    THexEditor* editor_;
    TColor positionBackground_ = platform::clMaroon;
    TColor cursorFrame_ = platform::clNavy;
    TColor background_ = platform::clWindow;
    TColor changedText_ = platform::clMaroon;
    TColor positionText_ = platform::clWhite;
    TColor changedBackground_ = 11075583;  // RGB 255, 255, 168
};

class THexEditor : public platform::TCustomGrid, private hexcore::DocumentListener {
    Q_OBJECT
public:
    explicit THexEditor(QWidget* parent = nullptr);
    ~THexEditor() override;

    // Start-up hook after the stored properties were read: an empty
    // "Untitled" document (so does the first Show, when nothing came first).
    void PropertiesLoaded();

    // ---- File -----------------------------------------------------------------
    // Load and save show the hourglass; see hexcore::Document for results and
    // errors. A load or a new document puts the caret on the first byte.
    [[nodiscard]] bool LoadFromFile(const std::string& name) { return LoadFromFile(name, name); }
    // A zero byte the editor appended after a byte typed at the end (see
    // TypeInHexPane) that is still selected and untouched is removed first:
    // it never reaches a file unless the user typed into it.
    [[nodiscard]] bool SaveToFile(const std::string& name) { return SaveToFile(name, name); }
    // The same for the file reached through path (through a folder held
    // open, say), with name as the document's FileName.
    [[nodiscard]] bool LoadFromFile(const std::string& path, const std::string& name);
    [[nodiscard]] bool SaveToFile(const std::string& path, const std::string& name);
    hexcore::TLoadFailure LastLoadFailure() const { return document_.LastLoadFailure(); }
    const hexcore::Document::SaveFailure& LastSaveFailure() const { return document_.LastSaveFailure(); }
    void NewFile(const std::string& name);
    const std::string& FileName() const { return document_.FileName(); }
    const std::string& WorkingFileName() const { return document_.WorkingFileName(); }
    bool Modified() const { return document_.Modified(); }
    void SetCreateBackup(bool on) { document_.SetCreateBackup(on); }
    const std::string& BackupExtension() const { return document_.BackupExtension(); }
    void SetBackupExtension(const std::string& ext) { document_.SetBackupExtension(ext); }

    std::int32_t DataSize() const { return document_.DataSize(); }
    // Straight from the document (see hexcore::Document::ReadBuffer).
    void ReadBuffer(void* destination, std::int32_t position, std::int32_t count) const
    {
        document_.ReadBuffer(destination, position, count);
    }

    // ---- Modes --------------------------------------------------------------
    // In insert mode the caret can also stand after the last byte, where
    // typing appends; the grid then has a row for that position.
    bool InsertState() const { return document_.InsertState(); }
    bool InsertModeActive() const { return document_.InsertModeActive(); }
    bool AllowInsertMode() const { return document_.AllowInsertMode(); }
    void SetAllowInsertMode(bool on)
    {
        document_.SetAllowInsertMode(on);
        InsertModeChanged();
    }
    // Keyboard editing off (the commands still work).
    bool ReadOnlyView() const { return readOnlyView_; }

    // Raised (through the event loop) when content, selection, modes or undo
    // may have changed; at once when the undo log is emptied.
    std::function<void(THexEditor*)> OnStateChanged;

    // ---- Search and character translation ------------------------------------
    // First match of count pattern bytes lying wholly within start..end; -1
    // when none. The pattern is changed in place by translation and case
    // folding. Caret and selection stay.
    std::int32_t Find(std::uint8_t* pattern, std::int32_t count, std::int32_t start, std::int32_t end,
                      bool ignoreCase, bool translate);
    // The last match lying wholly within start..end; -1 when none.
    std::int32_t FindBackward(std::uint8_t* pattern, std::int32_t count, std::int32_t start, std::int32_t end,
                              bool ignoreCase, bool translate);
    // Every match in the document, left to right, none overlapping the one
    // before.
    std::vector<std::int32_t> FindAll(std::uint8_t* pattern, std::int32_t count, bool ignoreCase, bool translate);
    // Setters repaint when the value changes.
    TTranslationType Translation() const { return charTranslation_.translation; }
    void SetTranslation(TTranslationType value);
    std::uint8_t TranslateToChar(std::uint8_t b) const { return charTranslation_.ToChar(b); }
    std::uint8_t TranslateToByte(std::uint8_t c) const { return charTranslation_.ToByte(c); }

    // ---- Caret and selection --------------------------------------------------
    // SelStart is the anchor (the caret without a selection), SelEnd the end
    // away from it; assigning raises "Invalid SelStart"/"Invalid SelEnd"
    // outside the document. SelStart := p clears the selection and moves the
    // caret there; SelEnd := p selects from the caret to p.
    std::int32_t SelStart() const;
    void SetSelStart(std::int32_t position);
    std::int32_t SelEnd() const;
    void SetSelEnd(std::int32_t position);
    std::int32_t SelLength() const;
    // The caret's byte, within the document (0 when it is empty).
    std::int32_t CaretPosition() const;
    // Where typing or pasting at the caret puts bytes: CaretPosition, or
    // DataSize while the caret stands after the last byte in insert mode.
    std::int32_t InsertionPoint() const;
    // The caret is in the character pane.
    bool InCharPane() const { return IsCharPaneColumn(Col()); }

    // ---- Editing commands and undo (each passes the document's gate) --------
    // Removes the selection, or the byte under the caret.
    void DeleteSelection();
    // Inserts at a position (selected when it is the caret's).
    void InsertBuffer(const void* source, std::int32_t count, std::int32_t position);
    // Appends and selects the new bytes, the caret on the first.
    void AppendBuffer(const void* source, std::int32_t count);
    // Replaces the selection (under NoSizeChange by as many bytes as
    // selected), or inserts at the caret without one.
    void ReplaceSelection(const void* source, std::int32_t count);

    // Replays the newest undo record and removes it: bytes, change marks,
    // Modified, caret and selection as they were.
    bool Undo();
    bool CanUndo() const { return document_.Undos().CanUndo(); }
    // Carries out again what Undo took back, until the next edit; the caret
    // goes to the edit's first byte, the bytes it wrote are selected. One
    // more undo record, as the edit wrote the first time.
    bool Redo();
    bool CanRedo() const { return document_.NextRedo() != nullptr; }
    // The kind of edit Redo carries out, named as UndoDescription names it.
    std::string RedoDescription() const;
    const std::string& UndoDescription() const { return document_.Undos().Description(); }

    // ---- Layout ----------------------------------------------------------------
    // Columns, with B = BytesPerLine: 0 offset, 1 marker, 2 .. 2B+1 hex
    // digits (two per byte), 2B+2 separator, 2B+3 .. 3B+2 characters.
    std::int32_t BytesPerLine() const { return bytesPerLine_; }
    // 1 .. 256; keeps the caret's byte and pane and the selection.
    void SetBytesPerLine(std::int32_t value);
    std::int32_t BytesPerColumn() const { return digitsPerGroup_ / 2; }
    void SetBytesPerColumn(std::int32_t value);
    TOffsetDisplayStyle OffsetDisplay() const { return offsetDisplay_; }
    void SetOffsetDisplay(TOffsetDisplayStyle style);
    void SetOffsetSeparator(char c);
    void ResetLineLengths();

    // ---- Colours -----------------------------------------------------------------
    TColors& Colors() { return *colors_; }
    const TColors& Colors() const { return *colors_; }
    // Text colour of characters, blank cells and the marker column.
    void SetFontColor(TColor color);

protected:
    // The rest of the component: its state, modes and commands that no
    // program uses, the layout and drawing behind the grid, and the input
    // handlers the grid calls.

    // The document shown. Read-only: every change goes through the editor.
    const hexcore::Document& Document() const { return document_; }
    bool FileIsReadOnly() const { return document_.FileIsReadOnly(); }
    bool CreateBackup() const { return document_.CreateBackup(); }

    // ---- Bytes (straight to the document: no undo, no change mark, no repaint)
    std::uint8_t ReadByte(std::int32_t position) const { return document_.ReadByte(position); }
    void WriteByte(std::int32_t position, std::uint8_t value) { document_.WriteByte(position, value); }
    void WriteBuffer(const void* source, std::int32_t position, std::int32_t count)
    {
        document_.WriteBuffer(source, position, count);
    }
    // Change mark of a byte (false in insert mode).
    bool IsByteChanged(std::int32_t position) const { return document_.IsByteChanged(position); }

    // ---- Modes ------------------------------------------------------------------
    void SetInsertState(bool on)
    {
        document_.SetInsertState(on);
        InsertModeChanged();
    }
    bool NoSizeChange() const { return document_.NoSizeChange(); }
    void SetNoSizeChange(bool on)
    {
        document_.SetNoSizeChange(on);
        InsertModeChanged();
    }
    void SetReadOnlyView(bool on) { readOnlyView_ = on; }

    // ---- Character translation (setters repaint when the value changes) -------
    char MaskChar() const { return charTranslation_.maskChar; }
    void SetMaskChar(char c);
    bool MaskWhiteSpaces() const { return charTranslation_.maskWhiteSpaces; }
    void SetMaskWhiteSpaces(bool on);

    // ---- Caret and selection ------------------------------------------------------
    std::int32_t SelAnchor() const { return selAnchor_; }
    std::int32_t SelLow() const { return selLow_; }
    std::int32_t SelHigh() const { return selHigh_; }
    // A selection by cells in progress: every caret move extends it.
    bool Selecting() const { return selecting_; }
    void SetSelecting(bool on) { selecting_ = on; }
    void ClearSelection(bool repaint);
    // Selects from one cell's byte to another's (extending a selection that
    // exists from its anchor).
    void ExtendSelection(std::int32_t fromCol, std::int32_t fromRow, std::int32_t toCol, std::int32_t toRow);

    // ---- Editing commands and undo ---------------------------------------------------
    // Removes the byte before (backwards) or under the caret.
    void DeleteCaretByte(bool backwards);
    // Overwrites one byte; row is the byte's grid row (for the repaint).
    void ChangeByte(std::int32_t position, std::uint8_t oldValue, std::uint8_t newValue, std::int32_t row);
    // Moves the caret from the start (origin 0), the caret (1) or the last
    // byte (2); strict refuses a target outside the document, else it is
    // clamped. False when nothing moved.
    bool SeekCaret(std::int32_t offset, int origin, bool strict);
    std::int32_t UndoCount() const { return document_.Undos().Count(); }
    // The undo records, oldest first (hexcore::UndoRecord's layout); the
    // saved bytes of large records are read from their files.
    std::vector<std::uint8_t> UndoLog() const { return document_.Undos().Bytes(); }
    // From how many saved bytes on a record keeps them in a file
    // (hexcore::Document::SetFileRecordsFrom).
    void SetUndoFileRecordsFrom(std::int32_t bytes) { document_.SetFileRecordsFrom(bytes); }

    // ---- Layout, line table and position mapping -------------------------------
    std::int32_t HexColumns() const { return hexColumns_; }
    std::int32_t DigitsPerGroup() const { return digitsPerGroup_; }
    bool ShowMarkerColumn() const { return showMarkerColumn_; }
    void SetShowMarkerColumn(bool on);
    char OffsetSeparator() const { return offsetSeparator_; }
    bool SwapNibbles() const { return swapNibbles_; }
    void SetSwapNibbles(bool on);
    int CharWidth() const { return charWidth_; }
    int RowHeight() const { return rowHeight_; }
    std::int32_t OffsetChars() const { return offsetChars_; }
    // Rows take their starts from the line table instead of BytesPerLine.
    bool CustomLineLengths() const { return customLineLengths_; }
    void SetCustomLineLengths(bool on) { customLineLengths_ = on; }
    const std::vector<std::int32_t>& LineTable() const { return lineTable_; }
    // The offset column's text for a row.
    std::string OffsetText(std::int32_t row) const;
    std::int32_t LineStart(std::int32_t row) const;
    std::int32_t LineLength(std::int32_t row) const;
    void SetLineLength(std::int32_t row, std::int32_t length);
    std::int32_t RowOfPosition(std::int32_t position) const;
    // The byte a cell shows (unclamped; the separator counts as the next
    // row's first byte).
    std::int32_t CellToPosition(std::int32_t col, std::int32_t row) const;
    struct Cell {
        std::int32_t col;
        std::int32_t row;
    };
    // A byte's cell in a pane (in the hex pane the left one of its pair).
    Cell PositionToCell(std::int32_t position, bool charPane) const;
    bool IsCharPaneColumn(std::int32_t col) const { return col > hexColumns_ + 2; }
    // The column in the other pane that shows the same byte.
    std::int32_t TwinColumn(std::int32_t col, bool* wasCharPane = nullptr) const;
    // With custom line lengths: the cell lies past its row's line.
    bool IsBeyondLine(std::int32_t col, std::int32_t row) const;

    // ---- Cell drawing, colours, markers and caret -------------------------------
    // Copies the given set's colours; the editor keeps its own set.
    void SetColors(const TColors& colors);
    TColor FontColor() const { return fontColor_; }
    bool FocusFrame() const { return focusFrame_; }
    void SetFocusFrame(bool on);
    TCaretStyle CaretStyle() const { return caretStyle_; }
    void SetCaretStyle(TCaretStyle style);
    // The caret's style follows insert mode.
    bool AutoCaretMode() const { return autoCaretMode_; }
    void SetAutoCaretMode(bool on);

    static constexpr int kMarkerCount = 10;
    // Bookmarks: grid rows, -1 when unset. Nothing moves them when data is
    // inserted or deleted.
    void SetMarker(int index, std::int32_t row);
    // The lowest marker index on a row, or -1.
    int MarkerOnRow(std::int32_t row) const;
    // The marker's row, or the current row when it is unset.
    std::int32_t MarkerRow(int index) const;
    const QImage& CaretBitmap() const { return caretBitmap_; }

    // What PaintCell draws in a cell: its text (ANSI bytes) and colours, and
    // whether the cell uses the marker font.
    struct CellLook {
        std::string text;
        TColor textColor;
        TColor background;
        bool markerFont;
    };
    CellLook CellAppearance(std::int32_t col, std::int32_t row) const;
    // The marker font: "Arial" at three quarters of the editor font's point
    // size, rounded half to even.
    QFont MarkerFont() const;
    static int MarkerPointSize(int pointSize);

    // ---- Keyboard and mouse ------------------------------------------------------
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool on) { wantTabs_ = on; }
    // The last key released was Alt: the next character typed in the
    // character pane is taken as an OEM character.
    bool AltReleased() const { return altReleased_; }

    unsigned DialogCode() const override;
    void KeyDown(std::uint16_t& key, platform::TShiftState shift) override;
    void KeyUp(std::uint16_t& key, platform::TShiftState shift) override;
    // The typed character (one Windows-1252 byte).
    void KeyPress(std::uint8_t ch) override;
    void MouseDown(Qt::MouseButton button, platform::TShiftState shift, const QPoint& pos) override;

    bool AcceptCell(std::int32_t col, std::int32_t row) override;
    bool event(QEvent* event) override;
    void PaintCell(QPainter& painter, std::int32_t col, std::int32_t row, const QRect& rect) override;
    void Scrolled(Qt::Orientation orientation) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Grid steps of a length change: row and column counts, fixed columns,
    // widths.
    void GridSizeChanged();
    void UpdateColumnWidths();
    void UpdateOffsetWidth();

private:
    friend class TColors;

    // The document's reports (DocumentListener).
    void LengthChanged() override;
    void StateChanged() override;
    void UndoReset() override;
    void Replaced() override;
    // The search options of the editor's translation and line length.
    hexcore::SearchOptions SearchOptions(bool ignoreCase, bool translate) const;
    // Posts one OnStateChanged (only once the control has a window).
    void NotifyStateChanged();
    // After the control's window was created: "Untitled" unless a document
    // came first.
    void WindowCreated();

    // Grid options, font and initial counts, set once at construction.
    void InitGridLayout();
    // Display state at construction: colours, markers.
    void InitDisplay();
    // Background as the control's colour, repainted at once.
    void ApplyBackground();
    // Opaque clipped text: fills rect with the background, then draws the
    // text from the rectangle's top-left corner, cut at its edges.
    void DrawCellText(QPainter& painter, const QRect& rect, const std::string& text, TColor textColor,
                      TColor background);
    // Places the caret, when it exists and is elsewhere (painting calls
    // this for every current cell, so an unchanged position costs nothing).
    void PlaceCaretAt(const QPoint& pos);
    // Builds the caret image for CaretStyle and creates the caret (hidden).
    void CreateCaretShape();
    // Grows the line table to one entry past the last row.
    void EnsureLineTable() const;

    // Caret and selection.
    // Byte position of the caret's cell (unclamped).
    std::int32_t CaretCellPosition() const { return CellToPosition(Col(), Row()); }
    // The last position the caret may stand on: the last byte, or the one
    // after it in insert mode.
    std::int32_t LastCaretPosition() const { return InsertModeActive() ? DataSize() : DataSize() - 1; }
    // After insert mode was switched: the grid gains or loses the row after
    // the last byte, and a caret there goes back to the last byte.
    void InsertModeChanged();
    // The appended zero byte (pendingZero_) is still there as appended.
    bool PendingZeroUntouched() const;
    bool HasSelection() const { return selAnchor_ >= 0; }
    // The caret and selection as an undo record keeps them.
    hexcore::ViewSnapshot Snapshot() const;
    // The bytes a deletion or replacement takes (the selection, else the
    // caret's byte) and the cell the caret goes to: the first byte's cell in
    // the caret's pane.
    struct Range {
        std::int32_t start;
        std::int32_t end;  // exclusive
        Cell cell;
    };
    Range SelectionRange() const;
    // Moves the current cell (scrolled into view); every caret move of the
    // editor goes through here, and so through AcceptCell.
    void MoveCaretTo(std::int32_t col, std::int32_t row);
    // Moves the caret to a byte in a pane (hex: the given nibble column).
    void PlaceCaret(std::int32_t position, bool charPane, std::int32_t nibble);
    // Removes bytes start .. end - 1 (which the gate has just saved in its
    // record) and puts the caret where PlaceCaretAfterRemoval puts it.
    void RemoveBytes(std::int32_t start, std::int32_t end, Cell caret);
    // After a removal that left size bytes: the caret on the given cell, or on
    // the last byte when that cell lies past it; no selection after.
    void PlaceCaretAfterRemoval(Cell caret, std::int32_t size);
    // Runs a command's steps. When one raises, the command is taken back:
    // its size changes have undone themselves, the document gives back the
    // gate's record, Modified and the change marks from marksFrom on, and
    // caret and selection return to where they were when the steps began;
    // then the error goes on.
    void RunCommand(std::int32_t marksFrom, const std::function<void()>& steps);
    // Caret and selection as a snapshot holds them.
    void RestoreView(const hexcore::ViewSnapshot& view);
    // Repaints the grid rows that hold the bytes between two positions.
    void InvalidateRows(std::int32_t fromPosition, std::int32_t toPosition);
    // The current-cell rules behind AcceptCell (shift/mouse handling, short
    // last row, separator column), guarded against their own cell moves.
    bool CanSelectCell(std::int32_t col, std::int32_t row);

    // Input.
    void TypeInCharPane(std::uint8_t ch, std::int32_t position);
    void TypeInHexPane(std::uint8_t ch, std::int32_t position);
    // The caret's move after a typed character or digit: it never extends or
    // keeps a selection, whatever modifier is held (a Shift that typed a
    // capital letter must not select the byte just typed).
    void MoveAfterTyping();
    // Moves the caret for a navigation key; true when the key was handled.
    bool NavigateKey(platform::TShiftState shift, std::uint16_t key);
    // The current column moved to target row t, kept inside t's line.
    std::int32_t FixColumn(std::int32_t targetRow, bool charPane) const;
    // The last column of a row's line in a pane.
    std::int32_t LastColumnOfLine(std::int32_t row, bool charPane) const;

    hexcore::Document document_;
    hexcore::CharTranslation charTranslation_;
    bool readOnlyView_ = false;

    // Selection.
    std::int32_t selAnchor_ = -1;
    std::int32_t selLow_ = -1;
    std::int32_t selHigh_ = -1;
    bool selecting_ = false;
    // Cleared while CanSelectCell makes its own cell moves, so that those
    // moves get only the basic checks.
    bool cellRulesArmed_ = true;
    // The zero byte appended after a byte typed at the end, while nothing
    // else happened since; -1 otherwise.
    std::int32_t pendingZero_ = -1;
    // The grid's rows include the position after the last byte.
    bool rowsForInsert_ = false;

    // Layout.
    std::int32_t bytesPerLine_ = 16;
    std::int32_t hexColumns_ = 32;
    std::int32_t digitsPerGroup_ = 4;
    bool showMarkerColumn_ = true;
    TOffsetDisplayStyle offsetDisplay_ = odHex;
    char offsetSeparator_ = ':';
    bool swapNibbles_ = false;
    int charWidth_ = -1;
    int rowHeight_ = 0;
    std::int32_t offsetChars_ = -1;
    bool customLineLengths_ = false;
    // Row starts; grown on demand by the queries (a cache of the lengths
    // set, every unset line holding BytesPerLine bytes).
    mutable std::vector<std::int32_t> lineTable_;

    // Display.
    std::unique_ptr<TColors> colors_;
    TColor fontColor_ = platform::clWindowText;
    bool focusFrame_ = true;
    TCaretStyle caretStyle_ = csFull;
    bool autoCaretMode_ = true;
    std::array<std::int32_t, kMarkerCount> markers_{};
    QImage caretBitmap_;

    // Input.
    bool wantTabs_ = true;
    bool altReleased_ = false;
};
