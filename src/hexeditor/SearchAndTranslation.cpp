// SPDX-License-Identifier: GPL-3.0-or-later
// The widget's side of the search and of the character translation: the
// hourglass while a search runs, and a repaint when a translation setting
// changes. The search and the code pages are the document core's.
#include "hexeditor/hexeditor.h"

#include "hexeditor/core/Search.h"
#include "platform/widgets/Cursor.h"

std::int32_t THexEditor::Find(std::uint8_t* pattern, std::int32_t count, std::int32_t start, std::int32_t end,
                              bool ignoreCase, bool translate)
{
    // Arguments that leave no room for a match return at once, without the
    // hourglass.
    if (!hexcore::SearchRangeFor(DataSize(), count, start, end))
        return -1;
    platform::WaitCursor wait(this);
    return hexcore::Find(document_, pattern, count, start, end, SearchOptions(ignoreCase, translate));
}

std::int32_t THexEditor::FindBackward(std::uint8_t* pattern, std::int32_t count, std::int32_t start,
                                      std::int32_t end, bool ignoreCase, bool translate)
{
    if (!hexcore::SearchRangeFor(DataSize(), count, start, end))
        return -1;
    platform::WaitCursor wait(this);
    return hexcore::FindBackward(document_, pattern, count, start, end, SearchOptions(ignoreCase, translate));
}

std::vector<std::int32_t> THexEditor::FindAll(std::uint8_t* pattern, std::int32_t count, bool ignoreCase,
                                              bool translate)
{
    if (!hexcore::SearchRangeFor(DataSize(), count, 0, DataSize()))
        return {};
    platform::WaitCursor wait(this);
    return hexcore::FindAll(document_, pattern, count, 0, SearchOptions(ignoreCase, translate));
}

hexcore::SearchOptions THexEditor::SearchOptions(bool ignoreCase, bool translate) const
{
    hexcore::SearchOptions options;
    options.ignoreCase = ignoreCase;
    options.translate = translate;
    options.translation = charTranslation_.translation;
    options.lineLength = bytesPerLine_;
    return options;
}

void THexEditor::SetTranslation(TTranslationType value)
{
    if (value == charTranslation_.translation)
        return;
    charTranslation_.translation = value;
    InvalidateGrid();
}

void THexEditor::SetMaskChar(char c)
{
    if (c == charTranslation_.maskChar)
        return;
    charTranslation_.maskChar = c;
    InvalidateGrid();
}

void THexEditor::SetMaskWhiteSpaces(bool on)
{
    if (on == charTranslation_.maskWhiteSpaces)
        return;
    charTranslation_.maskWhiteSpaces = on;
    InvalidateGrid();
}
