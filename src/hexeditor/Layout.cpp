// Grid geometry, line table and position mapping.
#include "hexeditor/hexeditor.h"

void THexEditor::SetBytesPerLine(std::int32_t value) { bytesPerLine_ = value; hexColumns_ = 2 * value; }
void THexEditor::SetBytesPerColumn(std::int32_t value) { digitsPerGroup_ = 2 * value; }
void THexEditor::SetShowMarkerColumn(bool on) { showMarkerColumn_ = on; }
void THexEditor::SetOffsetDisplay(TOffsetDisplayStyle style) { offsetDisplay_ = style; }
void THexEditor::SetOffsetSeparator(char c) { offsetSeparator_ = c; }
void THexEditor::SetSwapNibbles(bool on) { swapNibbles_ = on; }
void THexEditor::UpdateColumnWidths() {}
void THexEditor::UpdateOffsetWidth() {}
std::string THexEditor::OffsetText(std::int32_t) { return {}; }
std::int32_t THexEditor::LineStart(std::int32_t row) { return row * bytesPerLine_; }
std::int32_t THexEditor::LineLength(std::int32_t) { return bytesPerLine_; }
void THexEditor::SetLineLength(std::int32_t, std::int32_t) {}
void THexEditor::EnsureLineTable() {}
void THexEditor::ResetLineLengths() { lineTable_.clear(); }
std::int32_t THexEditor::RowOfPosition(std::int32_t position) { return position / bytesPerLine_; }
std::int32_t THexEditor::CellToPosition(std::int32_t, std::int32_t) { return 0; }
THexEditor::Cell THexEditor::PositionToCell(std::int32_t, bool) { return {2, 0}; }
std::int32_t THexEditor::TwinColumn(std::int32_t col, bool*) const { return col; }
bool THexEditor::IsBeyondLine(std::int32_t, std::int32_t) { return false; }
void THexEditor::GridSizeChanged() {}
