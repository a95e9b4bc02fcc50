// Byte-pattern search through the page buffer.
#include "hexeditor/hexeditor.h"

std::int32_t THexEditor::Find(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t, bool, bool) { return -1; }
