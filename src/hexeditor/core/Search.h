// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-pattern search over a document, through its page buffer.
//
// The result is that of the plain scan: the first position p in start..end at
// which all count pattern bytes match the document (after lower-casing both
// sides when case is ignored), with the whole match inside start..end.
#pragma once

#include "hexeditor/core/Document.h"
#include "hexeditor/core/Translation.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace hexcore {

// The positions a match may cover.
struct SearchRange {
    std::int32_t start;
    std::int32_t end;  // inclusive
};

// The range a search of count bytes covers in a document of size bytes: an
// end at or beyond the document means its last byte, a negative start means
// 0. Nothing when no match can fit (then no search runs at all).
std::optional<SearchRange> SearchRangeFor(std::int32_t size, std::int32_t count, std::int32_t start,
                                          std::int32_t end);

struct SearchOptions {
    // Compare under Windows-1252 lower-casing of both sides.
    bool ignoreCase = false;
    // The pattern is text in this translation: converted to bytes first
    // (nothing to convert for ttAnsi).
    bool translate = false;
    TTranslationType translation = ttAnsi;
    // The line length the page must hold after a position (the view's
    // BytesPerLine); the search reads each page up to where the view would
    // reload it.
    std::int32_t lineLength = 16;
};

// The first match of count pattern bytes lying wholly within start..end, or
// -1. The pattern is changed in place by translation and case folding
// (unless no match can fit the range).
std::int32_t Find(const Document& document, std::uint8_t* pattern, std::int32_t count, std::int32_t start,
                  std::int32_t end, const SearchOptions& options);

// The last match lying wholly within start..end, or -1; the pattern is
// prepared as for Find. Reads the document a block at a time from the end.
std::int32_t FindBackward(const Document& document, std::uint8_t* pattern, std::int32_t count,
                          std::int32_t start, std::int32_t end, const SearchOptions& options);

// Every match from start to the end of the document, left to right and not
// overlapping (a match starts after the previous one ends). The pattern is
// prepared once, as for Find.
std::vector<std::int32_t> FindAll(const Document& document, std::uint8_t* pattern, std::int32_t count,
                                  std::int32_t start, const SearchOptions& options);

}  // namespace hexcore
