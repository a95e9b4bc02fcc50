// Selection, editing commands, undo log and Undo.
#include "hexeditor/hexeditor.h"

std::int32_t THexEditor::SelStart() { return 0; }
void THexEditor::SetSelStart(std::int32_t) {}
std::int32_t THexEditor::SelEnd() { return 0; }
void THexEditor::SetSelEnd(std::int32_t) {}
std::int32_t THexEditor::SelLength() const { return 0; }
std::int32_t THexEditor::CaretPosition() { return 0; }
void THexEditor::ClearSelection(bool) {}
void THexEditor::ExtendSelection(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
THexEditor::Range THexEditor::SelectionRange() { return {0, 0, 2, 0}; }
void THexEditor::DeleteSelection() {}
void THexEditor::DeleteCaretByte(bool) {}
void THexEditor::ChangeByte(std::int32_t, std::uint8_t, std::uint8_t, std::int32_t) {}
void THexEditor::InsertBuffer(const void*, std::int32_t, std::int32_t) {}
void THexEditor::AppendBuffer(const void*, std::int32_t) {}
void THexEditor::ReplaceSelection(const void*, std::int32_t) {}
bool THexEditor::SeekCaret(std::int32_t, int, bool) { return false; }
bool THexEditor::PrepareChange(std::uint8_t, std::int32_t, std::int32_t, std::int32_t) { return false; }
void THexEditor::RecordUndo(std::uint8_t, std::int32_t, std::int32_t, std::int32_t) {}
void THexEditor::DropOldestUndo() {}
void THexEditor::ResetUndo() {}
bool THexEditor::Undo() { return false; }
const std::vector<std::uint8_t>& THexEditor::UndoLog() const
{
    static const std::vector<std::uint8_t> empty;
    return undoLog_ ? *undoLog_ : empty;
}
bool THexEditor::AcceptCell(std::int32_t, std::int32_t) { return true; }
