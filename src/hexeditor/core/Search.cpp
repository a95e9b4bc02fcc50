// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-pattern search through the page buffer. Instead of stepping byte by
// byte, the search takes the page buffer a window at a
// time and runs a substring search on the window; windows overlap by
// count - 1 bytes, so a match that straddles a page edge is found in the next
// window, which starts at the first candidate the last one could not hold.
#include "hexeditor/core/Search.h"

#include "platform/system/CodePages.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hexcore {

namespace {

// Substring search in a memory span, exact or under Windows-1252 lower-casing
// (the pattern is lower-cased already).
class Matcher {
public:
    Matcher(const std::uint8_t* pattern, std::size_t count, bool ignoreCase)
        : pattern_(pattern), count_(count), fold_(false)
    {
        upper_[0] = pattern[0];
        upper_[1] = pattern[count - 1];
        if (!ignoreCase)
            return;
        // Folding matters only when some pattern byte has a partner that
        // folds onto it; otherwise the exact search finds the same matches.
        int preimages[256] = {};
        for (int b = 0; b < 256; ++b)
            ++preimages[platform::AnsiLowerTable[b]];
        for (std::size_t k = 0; k < count; ++k)
            if (preimages[pattern[k]] != 1 || platform::AnsiLowerTable[pattern[k]] != pattern[k])
                fold_ = true;
        if (!fold_)
            return;
        // Horspool shifts over folded bytes: for a window whose last byte is
        // b, the distance to the nearest earlier pattern position holding
        // lower(b).
        std::size_t folded[256];
        std::fill(std::begin(folded), std::end(folded), count);
        for (std::size_t k = 0; k + 1 < count; ++k)
            folded[pattern[k]] = count - 1 - k;
        for (int b = 0; b < 256; ++b)
            shift_[b] = folded[platform::AnsiLowerTable[b]];
        for (int b = 0; b < 256; ++b) {
            if (platform::AnsiLowerTable[b] == b)
                continue;
            if (platform::AnsiLowerTable[b] == pattern[0])
                upper_[0] = static_cast<std::uint8_t>(b);
            if (platform::AnsiLowerTable[b] == pattern[count - 1])
                upper_[1] = static_cast<std::uint8_t>(b);
        }
    }

    // Offset of the first match wholly inside data[0, length), or -1.
    std::int64_t Search(const std::uint8_t* data, std::size_t length) const
    {
        if (length < count_)
            return -1;
        return fold_ ? SearchIn<true>(data, length) : SearchIn<false>(data, length);
    }

    // Whether document byte b matches pattern byte k.
    bool Equal(std::size_t k, std::uint8_t b) const
    {
        return pattern_[k] == (fold_ ? platform::AnsiLowerTable[b] : b);
    }

private:
    template <bool Fold>
    std::int64_t SearchIn(const std::uint8_t* data, std::size_t length) const
    {
        const std::size_t lastIndex = count_ - 1;
        std::size_t i = 0;
#if defined(__SSE2__)
        // Sixteen candidates at a time: only those whose first and last bytes
        // match (fold onto) the pattern's first and last bytes are compared
        // in full.
        const __m128i first = _mm_set1_epi8(static_cast<char>(pattern_[0]));
        const __m128i firstUpper = _mm_set1_epi8(static_cast<char>(upper_[0]));
        const __m128i last = _mm_set1_epi8(static_cast<char>(pattern_[lastIndex]));
        const __m128i lastUpper = _mm_set1_epi8(static_cast<char>(upper_[1]));
        for (; i + 16 + lastIndex <= length; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + lastIndex));
            __m128i hits;
            if constexpr (Fold)
                hits = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(a, firstUpper)),
                                     _mm_or_si128(_mm_cmpeq_epi8(b, last), _mm_cmpeq_epi8(b, lastUpper)));
            else
                hits = _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last));
            for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1) {
                const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
                if (Fold ? MatchesFolded(data + at) : std::memcmp(data + at, pattern_, count_) == 0)
                    return static_cast<std::int64_t>(at);
            }
        }
#endif
        // What is left (all of it without SSE2).
        if constexpr (!Fold) {
            const void* hit = memmem(data + i, length - i, pattern_, count_);
            return hit ? static_cast<const std::uint8_t*>(hit) - data : -1;
        }
        // Horspool over folded bytes.
        const auto& lower = platform::AnsiLowerTable;
        while (i + count_ <= length) {
            const std::uint8_t b = data[i + lastIndex];
            if (lower[b] == pattern_[lastIndex] && MatchesFolded(data + i))
                return static_cast<std::int64_t>(i);
            i += shift_[b];
        }
        return -1;
    }

    bool MatchesFolded(const std::uint8_t* at) const
    {
        for (std::size_t k = 0; k < count_; ++k)
            if (platform::AnsiLowerTable[at[k]] != pattern_[k])
                return false;
        return true;
    }

    const std::uint8_t* pattern_;
    std::size_t count_;
    bool fold_;
    std::size_t shift_[256] = {};
    // The bytes other than themselves that fold onto the pattern's first and
    // last bytes (the byte itself when there is none).
    std::uint8_t upper_[2] = {};
};

// Translation, then case folding, in place.
void PreparePattern(std::uint8_t* pattern, std::int32_t count, const SearchOptions& options)
{
    if (options.translate && options.translation != ttAnsi)
        translation::TranslateBuffer(options.translation, pattern, pattern, count);
    if (options.ignoreCase)
        platform::CharLowerBuff(pattern, static_cast<std::size_t>(count));
}

}  // namespace

std::optional<SearchRange> SearchRangeFor(std::int32_t size, std::int32_t count, std::int32_t start,
                                          std::int32_t end)
{
    if (end >= size)
        end = size - 1;
    // A negative start searches from the beginning.
    if (start < 0)
        start = 0;
    if (count < 1 || static_cast<std::int64_t>(start) + count > static_cast<std::int64_t>(end) + 1)
        return std::nullopt;
    return SearchRange{start, end};
}

std::int32_t Find(const Document& document, std::uint8_t* pattern, std::int32_t count, std::int32_t start,
                  std::int32_t end, const SearchOptions& options)
{
    const std::optional<SearchRange> range = SearchRangeFor(document.DataSize(), count, start, end);
    if (!range)
        return -1;
    start = range->start;
    end = range->end;
    const bool ignoreCase = options.ignoreCase;
    PreparePattern(pattern, count, options);

    const Matcher matcher(pattern, static_cast<std::size_t>(count), ignoreCase);

    // Bytes the page holds for reading: from PageStart up to where EnsurePage
    // would reload for lack of a whole line after the position.
    constexpr std::int32_t kPageSize = Document::kPageSize;
    const std::int32_t line = std::clamp<std::int32_t>(options.lineLength, 1, kPageSize);
    const auto ensurePage = [&](std::int64_t q) { document.EnsurePage(static_cast<std::int32_t>(q), line); };
    const auto windowEnd = [&]() -> std::int64_t {
        const std::int32_t page = document.PageStart();
        return page < 0 ? -1 : static_cast<std::int64_t>(page) + kPageSize - line + 1;
    };
    const auto covers = [&](std::int64_t q) {
        return document.PageStart() >= 0 && document.PageStart() <= q && q < windowEnd();
    };
    // Makes the page cover q; false when the store could not load it.
    const auto load = [&](std::int64_t q) {
        if (!covers(q))
            ensurePage(q);
        return covers(q);
    };

    constexpr std::int64_t kHalfPage = kPageSize / 2;
    const std::int64_t lastStart = static_cast<std::int64_t>(end) - count + 1;
    const std::int64_t stop = static_cast<std::int64_t>(end) + 1;
    std::int64_t p = start;
    while (p <= lastStart) {
        if (!covers(p) || windowEnd() - p < count) {
            // Pages are centred on the position asked for: asking for the
            // position half a page on loads the page that starts at p, so
            // each page load brings a whole page of new bytes.
            if (p + kHalfPage <= std::numeric_limits<std::int32_t>::max())
                ensurePage(p + kHalfPage);
            if (!load(p))
                return -1;
        }
        const std::int64_t limit = std::min(windowEnd(), stop);
        if (limit - p >= count) {
            const std::int64_t hit =
                matcher.Search(document.PageBuffer() + (p - document.PageStart()), static_cast<std::size_t>(limit - p));
            if (hit >= 0)
                return static_cast<std::int32_t>(p + hit);
            // Every candidate that fits the window failed; the next one
            // reaches past it.
            p = limit - count + 1;
            continue;
        }
        // A pattern longer than a page: compare this candidate byte by byte.
        std::int32_t k = 0;
        for (; k < count; ++k) {
            if (!load(p + k))
                return -1;
            if (!matcher.Equal(static_cast<std::size_t>(k), document.PageBuffer()[p + k - document.PageStart()]))
                break;
        }
        if (k == count)
            return static_cast<std::int32_t>(p);
        ++p;
    }
    return -1;
}

std::int32_t FindBackward(const Document& document, std::uint8_t* pattern, std::int32_t count,
                          std::int32_t start, std::int32_t end, const SearchOptions& options)
{
    const std::optional<SearchRange> range = SearchRangeFor(document.DataSize(), count, start, end);
    if (!range)
        return -1;
    PreparePattern(pattern, count, options);
    const Matcher matcher(pattern, static_cast<std::size_t>(count), options.ignoreCase);
    // Blocks of candidate starts from the end; each block's bytes reach
    // count - 1 bytes past its last candidate.
    constexpr std::int64_t kBlock = Document::kPageSize;
    std::vector<std::uint8_t> buffer;
    std::int64_t last = static_cast<std::int64_t>(range->end) - count + 1;
    while (last >= range->start) {
        const std::int64_t first = std::max<std::int64_t>(range->start, last - kBlock + 1);
        const std::int64_t length = last - first + count;
        buffer.resize(static_cast<std::size_t>(length));
        document.ReadBuffer(buffer.data(), static_cast<std::int32_t>(first), static_cast<std::int32_t>(length));
        std::int64_t found = -1;
        for (std::int64_t at = 0; at < length;) {
            const std::int64_t hit = matcher.Search(buffer.data() + at, static_cast<std::size_t>(length - at));
            if (hit < 0)
                break;
            found = at + hit;
            at = found + 1;
        }
        if (found >= 0)
            return static_cast<std::int32_t>(first + found);
        last = first - 1;
    }
    return -1;
}

std::vector<std::int32_t> FindAll(const Document& document, std::uint8_t* pattern, std::int32_t count,
                                  std::int32_t start, const SearchOptions& options)
{
    std::vector<std::int32_t> hits;
    SearchOptions prepared = options;
    for (std::int32_t from = start;;) {
        const std::int32_t hit = Find(document, pattern, count, from, document.DataSize(), prepared);
        if (hit < 0)
            return hits;
        hits.push_back(hit);
        // Translated once; folding again changes nothing.
        prepared.translate = false;
        from = hit + count;
    }
}

}  // namespace hexcore
