// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/Replace.h"

#include "hexeditor/hexeditor.h"

#include <algorithm>

namespace hexwindow {

void SelectBytes(THexEditor& editor, std::int32_t first, std::int32_t count)
{
    const bool allowInsert = editor.AllowInsertMode();
    editor.SetAllowInsertMode(false);
    editor.SetSelStart(first);
    editor.SetSelEnd(first + count - 1);
    editor.SetAllowInsertMode(allowInsert);
}

std::optional<Bytes> ReplacementBytes(const QString& text, bool hex, TTranslationType translation)
{
    if (hex)
        return text.trimmed().isEmpty() ? std::optional<Bytes>(Bytes{}) : ParseHexBytes(text);
    Bytes bytes = TextToAnsi(text);
    if (translation != ttAnsi && !bytes.empty())
        translation::TranslateBuffer(translation, bytes.data(), bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return bytes;
}

bool SelectionIsHit(THexEditor& editor, const SearchPattern& pattern)
{
    const auto count = static_cast<std::int32_t>(pattern.bytes.size());
    if (count == 0 || editor.SelLength() != count)
        return false;
    const std::int32_t first = std::min(editor.SelStart(), editor.SelEnd());
    Bytes copy = pattern.bytes;  // Find changes its pattern in place
    return editor.Find(copy.data(), count, first, first + count - 1, pattern.ignoreCase, pattern.translate) == first;
}

std::optional<std::int32_t> ReplaceAll(THexEditor& editor, const Replacement& replacement)
{
    Bytes pattern = replacement.pattern.bytes;
    const auto count = static_cast<std::int32_t>(pattern.size());
    const std::vector<std::int32_t> hits =
        editor.FindAll(pattern.data(), count, replacement.pattern.ignoreCase, replacement.pattern.translate);
    if (hits.empty())
        return 0;
    const std::int32_t first = hits.front();
    const std::int32_t end = hits.back() + count;
    const std::int64_t built =
        static_cast<std::int64_t>(end - first) +
        static_cast<std::int64_t>(hits.size()) * (static_cast<std::int64_t>(replacement.bytes.size()) - count);
    if (end - first > kMaxReplaceRange || built > kMaxReplaceRange)
        return std::nullopt;
    Bytes old(static_cast<std::size_t>(end - first));
    editor.ReadBuffer(old.data(), first, end - first);
    Bytes result;
    result.reserve(static_cast<std::size_t>(built));
    std::int32_t at = first;
    for (const std::int32_t hit : hits) {
        result.insert(result.end(), old.begin() + (at - first), old.begin() + (hit - first));
        result.insert(result.end(), replacement.bytes.begin(), replacement.bytes.end());
        at = hit + count;
    }
    SelectBytes(editor, first, end - first);
    editor.ReplaceSelection(result.data(), static_cast<std::int32_t>(result.size()));
    return static_cast<std::int32_t>(hits.size());
}

}  // namespace hexwindow
