// Character translation: tables and routines.
#include "hexeditor/hexeditor.h"

namespace translation {
const std::uint8_t MacToAnsiTable[128] = {};
const std::uint8_t AnsiToMacTable[128] = {};
const std::uint8_t EbcdicToAnsiTable[256] = {};
const std::uint8_t AnsiToEbcdicTable[256] = {};
void TranslateBuffer(TTranslationType, const std::uint8_t*, std::uint8_t*, std::int32_t) {}
std::uint8_t OemToAnsiChar(std::uint8_t b) { return b; }
std::uint8_t AnsiToOemChar(std::uint8_t c) { return c; }
}  // namespace translation

void THexEditor::SetTranslation(TTranslationType value) { translation_ = value; }
void THexEditor::SetMaskChar(char c) { maskChar_ = c; }
void THexEditor::SetMaskWhiteSpaces(bool on) { maskWhiteSpaces_ = on; }
std::uint8_t THexEditor::TranslateToChar(std::uint8_t b) const { return b; }
std::uint8_t THexEditor::TranslateToByte(std::uint8_t c) const { return c; }
