// THexEditor: a byte editor whose document lives in a working copy on disk,
// read through a 64 KiB page buffer, with change marks, a selection, editing
// commands that fill an undo log, five character translations, a byte-pattern
// search, and a grid layout of offset, marker, hex and character columns.
//
// The byte store, search, selection and undo logic need no painting; the grid
// base supplies cells, the current cell (the caret) and scrolling.
#pragma once

#include "hexeditor/core/Document.h"
#include "hexeditor/core/Translation.h"
#include "platform/Colors.h"
#include "platform/Grid.h"

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
    static constexpr std::int32_t kPageSize = hexcore::Document::kPageSize;

    explicit THexEditor(QWidget* parent = nullptr);
    ~THexEditor() override;

    // Start-up hooks: after the stored properties were read, and after the
    // control's window was created. Both start "Untitled" when needed.
    void PropertiesLoaded();
    void WindowCreated();

    // ---- Working-copy byte store -------------------------------------------
    bool LoadFromFile(const std::string& name);
    bool SaveToFile(const std::string& name);
    void NewFile(const std::string& name);
    std::int32_t DataSize() const { return document_.DataSize(); }

    std::uint8_t ReadByte(std::int32_t position) const { return document_.ReadByte(position); }
    void WriteByte(std::int32_t position, std::uint8_t value) { document_.WriteByte(position, value); }
    void ReadBuffer(void* destination, std::int32_t position, std::int32_t count) const
    {
        document_.ReadBuffer(destination, position, count);
    }
    void WriteBuffer(const void* source, std::int32_t position, std::int32_t count)
    {
        document_.WriteBuffer(source, position, count);
    }
    void EnsurePage(std::int32_t position) { document_.EnsurePage(position, bytesPerLine_); }
    void UpdatePage(std::int32_t position, std::uint8_t value) { document_.UpdatePage(position, value); }
    void MoveBlock(std::int32_t from, std::int32_t to, std::int32_t count) { document_.MoveBlock(from, to, count); }
    void InsertBytes(const void* source, std::int32_t count, std::int32_t position)
    {
        document_.InsertBytes(source, count, position);
    }
    void AppendBytes(const void* source, std::int32_t count) { document_.AppendBytes(source, count); }
    void DeleteRange(std::int32_t start, std::int32_t end, std::int32_t caretRow, std::int32_t caretCol);
    void EnsureWorkingFile() { document_.EnsureWorkingFile(); }
    void CloseWorkingFile() { document_.CloseWorkingFile(); }
    void SizeChanged() { document_.SizeChanged(); }
    bool IsByteChanged(std::int32_t position) const { return document_.IsByteChanged(position); }
    void NotifyStateChanged();

    static constexpr std::int32_t kMaxDataSize = hexcore::Document::kMaxDataSize;
    static constexpr std::int32_t kMovePiece = hexcore::Document::kMovePiece;
    static std::string WorkingCopyName(const std::string& folder, std::uint32_t tick)
    {
        return hexcore::WorkingCopy::NameFor(folder, tick);
    }

    const std::string& FileName() const { return document_.FileName(); }
    const std::string& WorkingFileName() const { return document_.WorkingFileName(); }
    bool HasWorkingFile() const { return document_.HasWorkingFile(); }
    const std::uint8_t* PageBuffer() const { return document_.PageBuffer(); }
    std::int32_t PageStart() const { return document_.PageStart(); }
    std::int32_t CachedSize() const { return document_.CachedSize(); }
    // Change marks: bit n set = byte n was overwritten.
    const std::vector<bool>& ChangedBytes() const { return document_.ChangedBytes(); }
    bool Modified() const { return document_.Modified(); }
    bool FileIsReadOnly() const { return document_.FileIsReadOnly(); }
    bool InsertState() const { return document_.InsertState(); }
    void SetInsertState(bool on) { document_.SetInsertState(on); }
    bool InsertModeActive() const { return document_.InsertModeActive(); }

    bool CreateBackup() const { return document_.CreateBackup(); }
    void SetCreateBackup(bool on) { document_.SetCreateBackup(on); }
    const std::string& BackupExtension() const { return document_.BackupExtension(); }
    void SetBackupExtension(const std::string& ext) { document_.SetBackupExtension(ext); }
    bool NoSizeChange() const { return document_.NoSizeChange(); }
    void SetNoSizeChange(bool on) { document_.SetNoSizeChange(on); }
    bool AllowInsertMode() const { return document_.AllowInsertMode(); }
    void SetAllowInsertMode(bool on) { document_.SetAllowInsertMode(on); }
    bool ReadOnlyView() const { return readOnlyView_; }
    void SetReadOnlyView(bool on) { readOnlyView_ = on; }

    // Raised (through the event loop) when content, selection, modes or undo
    // may have changed.
    std::function<void(THexEditor*)> OnStateChanged;

    // ---- Search ---------------------------------------------------------------
    // First match of count pattern bytes lying wholly within start..end; -1
    // when none. The pattern is changed in place by translation and case
    // folding.
    std::int32_t Find(std::uint8_t* pattern, std::int32_t count, std::int32_t start, std::int32_t end,
                      bool ignoreCase, bool translate);

    // ---- Character translation -----------------------------------------------
    // Setters repaint when the value changes.
    TTranslationType Translation() const { return charTranslation_.translation; }
    void SetTranslation(TTranslationType value);
    char MaskChar() const { return charTranslation_.maskChar; }
    void SetMaskChar(char c);
    bool MaskWhiteSpaces() const { return charTranslation_.maskWhiteSpaces; }
    void SetMaskWhiteSpaces(bool on);
    std::uint8_t TranslateToChar(std::uint8_t b) const { return charTranslation_.ToChar(b); }
    std::uint8_t TranslateToByte(std::uint8_t c) const { return charTranslation_.ToByte(c); }

    // ---- Selection, editing commands and undo log --------------------------
    std::int32_t SelStart();
    void SetSelStart(std::int32_t position);
    std::int32_t SelEnd();
    void SetSelEnd(std::int32_t position);
    std::int32_t SelLength() const;
    std::int32_t CaretPosition();
    std::int32_t SelAnchor() const { return selAnchor_; }
    std::int32_t SelLow() const { return selLow_; }
    std::int32_t SelHigh() const { return selHigh_; }
    bool Selecting() const { return selecting_; }
    void SetSelecting(bool on) { selecting_ = on; }

    void ClearSelection(bool repaint);
    void ExtendSelection(std::int32_t fromCol, std::int32_t fromRow, std::int32_t toCol, std::int32_t toRow);
    struct Range {
        std::int32_t start;
        std::int32_t end;  // exclusive
        std::int32_t col;
        std::int32_t row;
    };
    Range SelectionRange();

    void DeleteSelection();
    void DeleteCaretByte(bool backwards);
    void ChangeByte(std::int32_t position, std::uint8_t oldValue, std::uint8_t newValue, std::int32_t row);
    void InsertBuffer(const void* source, std::int32_t count, std::int32_t position);
    void AppendBuffer(const void* source, std::int32_t count);
    void ReplaceSelection(const void* source, std::int32_t count);
    bool SeekCaret(std::int32_t offset, int origin, bool strict);

    bool PrepareChange(std::uint8_t kind, std::int32_t position, std::int32_t replacedCount, std::int32_t count)
    {
        return document_.PrepareChange(static_cast<hexcore::UndoKind>(kind), position, replacedCount, count,
                                       Snapshot());
    }
    void ResetUndo() { document_.ResetUndo(); }

    // Replays the newest undo record and removes it.
    bool Undo();
    bool CanUndo() const { return document_.Undos().CanUndo(); }
    const std::string& UndoDescription() const { return document_.Undos().Description(); }
    std::int32_t UndoCount() const { return document_.Undos().Count(); }
    // The undo records, oldest first; empty when there is no log.
    const std::vector<std::uint8_t>& UndoLog() const { return document_.Undos().Bytes(); }

    // ---- Grid geometry, line table and position mapping ---------------------
    std::int32_t BytesPerLine() const { return bytesPerLine_; }
    void SetBytesPerLine(std::int32_t value);
    std::int32_t HexColumns() const { return hexColumns_; }
    std::int32_t DigitsPerGroup() const { return digitsPerGroup_; }
    std::int32_t BytesPerColumn() const { return digitsPerGroup_ / 2; }
    void SetBytesPerColumn(std::int32_t value);
    bool ShowMarkerColumn() const { return showMarkerColumn_; }
    void SetShowMarkerColumn(bool on);
    TOffsetDisplayStyle OffsetDisplay() const { return offsetDisplay_; }
    void SetOffsetDisplay(TOffsetDisplayStyle style);
    char OffsetSeparator() const { return offsetSeparator_; }
    void SetOffsetSeparator(char c);
    bool SwapNibbles() const { return swapNibbles_; }
    void SetSwapNibbles(bool on);
    int CharWidth() const { return charWidth_; }
    int RowHeight() const { return rowHeight_; }
    std::int32_t OffsetChars() const { return offsetChars_; }
    bool InCharPane() const { return inCharPane_; }
    bool CustomLineLengths() const { return customLineLengths_; }
    void SetCustomLineLengths(bool on) { customLineLengths_ = on; }
    const std::vector<std::int32_t>& LineTable() const { return lineTable_; }

    void UpdateColumnWidths();
    void UpdateOffsetWidth();
    // The offset column's text for a row.
    std::string OffsetText(std::int32_t row);
    std::int32_t LineStart(std::int32_t row);
    std::int32_t LineLength(std::int32_t row);
    void SetLineLength(std::int32_t row, std::int32_t length);
    void EnsureLineTable();
    void ResetLineLengths();
    std::int32_t RowOfPosition(std::int32_t position);
    std::int32_t CellToPosition(std::int32_t col, std::int32_t row);
    struct Cell {
        std::int32_t col;
        std::int32_t row;
    };
    Cell PositionToCell(std::int32_t position, bool charPane);
    // The column in the other pane that shows the same byte.
    std::int32_t TwinColumn(std::int32_t col, bool* wasCharPane = nullptr) const;
    bool IsBeyondLine(std::int32_t col, std::int32_t row);

    // ---- Cell drawing, colours, markers and caret -----------------------------
    TColors& Colors() { return *colors_; }
    const TColors& Colors() const { return *colors_; }
    // Copies the given set's colours; the editor keeps its own set.
    void SetColors(const TColors& colors);
    // Text colour of characters, blank cells and the marker column.
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);
    bool FocusFrame() const { return focusFrame_; }
    void SetFocusFrame(bool on);
    TCaretStyle CaretStyle() const { return caretStyle_; }
    void SetCaretStyle(TCaretStyle style);
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

    // Builds the caret image for CaretStyle and creates the caret (hidden).
    void CreateCaretShape();
    const QImage& CaretBitmap() const { return caretBitmap_; }

    // What PaintCell draws in a cell: its text (ANSI bytes) and colours, and
    // whether the cell uses the marker font.
    struct CellLook {
        std::string text;
        TColor textColor;
        TColor background;
        bool markerFont;
    };
    CellLook CellAppearance(std::int32_t col, std::int32_t row);
    // The marker font: "Arial" at three quarters of the editor font's point
    // size, rounded half to even.
    QFont MarkerFont() const;
    static int MarkerPointSize(int pointSize);

    // ---- Keyboard and mouse editing ------------------------------------------
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool on) { wantTabs_ = on; }
    bool AltReleased() const { return altReleased_; }

    // The typed character (one Windows-1252 byte).
    void HandleChar(std::uint8_t ch);
    void HandleKeyDown(std::uint16_t& key, platform::TShiftState shift);
    void HandleKeyUp(std::uint16_t& key, platform::TShiftState shift);
    // Moves the caret for a navigation key; true when the key was handled.
    bool NavigateKey(platform::TShiftState shift, std::uint16_t key);
    void HandleMouseDown(Qt::MouseButton button, platform::TShiftState shift, const QPoint& pos);

    unsigned DialogCode() const override;
    void KeyDown(std::uint16_t& key, platform::TShiftState shift) override { HandleKeyDown(key, shift); }
    void KeyUp(std::uint16_t& key, platform::TShiftState shift) override { HandleKeyUp(key, shift); }
    void KeyPress(std::uint8_t ch) override { HandleChar(ch); }
    void MouseDown(Qt::MouseButton button, platform::TShiftState shift, const QPoint& pos) override
    {
        HandleMouseDown(button, shift, pos);
    }

protected:
    bool AcceptCell(std::int32_t col, std::int32_t row) override;
    bool event(QEvent* event) override;
    void PaintCell(QPainter& painter, std::int32_t col, std::int32_t row, const QRect& rect) override;
    void Scrolled(Qt::Orientation orientation) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Opaque clipped text: fills rect with the background, then draws the
    // text from the rectangle's top-left corner, cut at its edges.
    void DrawCellText(QPainter& painter, const QRect& rect, const std::string& text, TColor textColor,
                      TColor background);
    // Grid steps of SizeChanged: row and column counts, fixed columns, widths.
    void GridSizeChanged();

private:
    friend class TColors;
    // Grid options, font and initial counts, set once at construction.
    void InitGridLayout();
    // Display state at construction: colours, markers, caret bitmap.
    void InitDisplay();
    // Background as the control's colour, repainted at once.
    void ApplyBackground();
    // Places the caret, when it exists and is elsewhere (painting calls
    // this for every current cell, so an unchanged position costs nothing).
    void PlaceCaretAt(const QPoint& pos);
    // The current column moved to target row t, kept inside t's line.
    std::int32_t FixColumn(std::int32_t targetRow, bool charPane);
    // The last column of a row's line in a pane.
    std::int32_t LastColumnOfLine(std::int32_t row, bool charPane);
    void TypeInCharPane(std::uint8_t ch, std::int32_t position);
    void TypeInHexPane(std::uint8_t ch, std::int32_t position);
    // Lets the byte store's tests set Modified and change marks directly.
    friend struct ByteStoreTestAccess;
    // The document's reports (DocumentListener).
    void LengthChanged() override;
    void StateChanged() override;
    void UndoReset() override;
    void Replaced() override;
    // The caret and selection as an undo record keeps them.
    hexcore::ViewSnapshot Snapshot();

    hexcore::Document document_;
    bool readOnlyView_ = false;

    hexcore::CharTranslation charTranslation_;

    // Selection and undo.
    // The current-cell rules behind AcceptCell (shift/mouse handling, short
    // last row, separator column), guarded against their own cell moves.
    bool CanSelectCell(std::int32_t col, std::int32_t row);
    // Byte position of the caret's cell (unclamped); sets InCharPane.
    std::int32_t CaretCellPosition();
    bool HasSelection() const { return selAnchor_ >= 0; }
    // Repaints the grid rows that hold the bytes between two positions.
    void InvalidateRows(std::int32_t fromPosition, std::int32_t toPosition);
    // Moves the caret to a byte in a pane (hex: the given nibble column).
    void PlaceCaret(std::int32_t position, bool charPane, std::int32_t nibble);
    std::int32_t selAnchor_ = -1;
    std::int32_t selLow_ = -1;
    std::int32_t selHigh_ = -1;
    bool selecting_ = false;
    // Cleared while CanSelectCell makes its own cell moves, so that those
    // moves get only the basic checks.
    bool cellRulesArmed_ = true;

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
    bool inCharPane_ = false;
    bool customLineLengths_ = false;
    std::vector<std::int32_t> lineTable_;

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
