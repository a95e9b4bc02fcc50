// SPDX-License-Identifier: GPL-3.0-or-later
// What the byte editor window reads from people and writes for other
// programs: offsets typed into "Gehe zu Offset", search patterns, hex text on
// the clipboard. Plain functions without a window, so each rule is tested on
// its own.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QMimeData;

namespace hexwindow {

using Bytes = std::vector<std::uint8_t>;

// An offset as typed: hexadecimal after "0x" or "$" ("0x1F", "$1f"), else
// decimal ("31"); blanks around it are ignored. Nothing for anything else
// (signs, stray characters, an empty text, a number beyond 2^62).
std::optional<std::int64_t> ParseOffset(const QString& text);

// Hex bytes as typed into the search: groups separated by blanks or commas,
// each an even number of hex digits ("4D5A 9000") or a single digit ("A" is
// 0x0A), optionally after "0x" or "$". Nothing when a group is malformed or
// there is no byte at all.
std::optional<Bytes> ParseHexBytes(const QString& text);

// Hex text as hex editors and dumps write it: pairs of hex digits separated
// by white space ("4D 5A 90 00"). Stricter than ParseHexBytes, so that a
// pasted word such as "cafe" stays text.
std::optional<Bytes> ParseHexPairs(const QString& text);

// "4D 5A 90 00": upper-case pairs, one space between them.
QString FormatHexBytes(const Bytes& bytes);
// The bytes as a C array for source code, twelve to a line:
// "const unsigned char data[2] = {\n    0x4D, 0x5A\n};\n".
QString FormatCArray(const Bytes& bytes);

// The text in Windows-1252, "?" for characters the code page lacks.
Bytes TextToAnsi(const QString& text);

// Copied bytes on the clipboard: the bytes themselves under this type for
// pasting here, and as hex text ("4D 5A 90 00") for other programs.
inline constexpr char kBytesMimeType[] = "application/x-klangheber-bytes";
QMimeData* MakeClipboardData(const Bytes& bytes);

// What pasting inserts: the bytes under kBytesMimeType when present, else
// text that is hex pairs as their bytes, else any text in Windows-1252.
// Pasted into the hex pane, any hex text counts as bytes: also digits
// without blanks ("4D5A"), with 0x or $ before them, separated by commas, or
// a C array as FormatCArray writes it. Empty when the clipboard holds none
// of these.
Bytes PastedBytes(const QMimeData& mime, bool hexPane = false);

// The German name of an undo step for the menu ("Byte geändert"), from the
// editor's description of its kind ("Byte changed").
QString UndoStepName(const std::string& description);

// A search as the search dialog takes it.
struct SearchRequest {
    QString text;
    bool hex = false;        // the text is hex bytes, not characters
    bool matchCase = false;  // characters only: upper and lower case differ
};

// What THexEditor::Find needs for a request: the pattern and its two flags.
// Text goes through the editor's translation and may ignore case; hex bytes
// are searched as they are.
struct SearchPattern {
    Bytes bytes;
    bool ignoreCase = false;
    bool translate = false;
};

// Nothing when the text is empty or not valid hex bytes.
std::optional<SearchPattern> MakeSearchPattern(const SearchRequest& request);

}  // namespace hexwindow
