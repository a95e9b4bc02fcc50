// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing what the search finds: the replacement's bytes, whether the
// selection is a hit, and replacing every hit as one undo step.
#pragma once

#include "KlangheberHex/HexInput.h"
#include "hexeditor/core/Translation.h"

#include <QString>
#include <cstdint>
#include <optional>

class THexEditor;

namespace hexwindow {

// Replace-all builds the new bytes from the first hit to the end of the
// last in memory; beyond this it refuses.
constexpr std::int64_t kMaxReplaceRange = 256 * 1024 * 1024;

struct Replacement {
    SearchPattern pattern;
    Bytes bytes;
};

// Selects count bytes from first. SelEnd counts gaps between bytes while
// insert mode is on, which would leave the last byte out, so the selection
// is made with insert mode off; what it selects stays the same afterwards.
void SelectBytes(THexEditor& editor, std::int32_t first, std::int32_t count);

// The bytes that replace a hit: hex bytes as typed (an empty text is no
// byte), or text in Windows-1252 converted to the editor's translation, as
// a search text is. Nothing for malformed hex bytes.
std::optional<Bytes> ReplacementBytes(const QString& text, bool hex, TTranslationType translation);

// The selection is exactly one hit of the pattern.
bool SelectionIsHit(THexEditor& editor, const SearchPattern& pattern);

// Replaces every hit in the document (left to right, none overlapping the
// one before) as one undo step: the bytes from the first hit to the end of
// the last are replaced at once. The count of hits replaced (0: nothing
// changed); nothing when the bytes to build exceed kMaxReplaceRange.
std::optional<std::int32_t> ReplaceAll(THexEditor& editor, const Replacement& replacement);

}  // namespace hexwindow
