// The working-copy byte store.
#include "hexeditor/hexeditor.h"

bool THexEditor::LoadFromFile(const std::string&) { return false; }
bool THexEditor::SaveToFile(const std::string&) { return false; }
void THexEditor::NewFile(const std::string& name) { fileName_ = name; }
std::int32_t THexEditor::DataSize() { return 0; }
std::uint8_t THexEditor::ReadByte(std::int32_t) { return 0; }
void THexEditor::WriteByte(std::int32_t, std::uint8_t) {}
void THexEditor::ReadBuffer(void*, std::int32_t, std::int32_t) {}
void THexEditor::WriteBuffer(const void*, std::int32_t, std::int32_t) {}
void THexEditor::EnsurePage(std::int32_t) {}
void THexEditor::UpdatePage(std::int32_t, std::uint8_t) {}
void THexEditor::MoveBlock(std::int32_t, std::int32_t, std::int32_t) {}
void THexEditor::InsertBytes(const void*, std::int32_t, std::int32_t) {}
void THexEditor::AppendBytes(const void*, std::int32_t) {}
void THexEditor::DeleteRange(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void THexEditor::EnsureWorkingFile() {}
void THexEditor::CloseWorkingFile() {}
void THexEditor::SizeChanged() {}
bool THexEditor::IsByteChanged(std::int32_t) const { return false; }
void THexEditor::NotifyStateChanged() {}
void THexEditor::SetNoSizeChange(bool on) { noSizeChange_ = on; }
void THexEditor::SetAllowInsertMode(bool on) { allowInsertMode_ = on; }
void THexEditor::DropLostWorkingFile() {}
