// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-pattern search over a document: the documented cases, and a
// randomized comparison with a naive scan over documents that span several
// pages.
#include "DocumentFixture.h"
#include "hexeditor/core/Search.h"
#include "platform/system/CodePages.h"

#include <gtest/gtest.h>
#include <random>

using testsupport::Bytes;

namespace {

class SearchTest : public DocumentTest {
protected:
    // Loads bytes into the document through a file.
    void Load(const Bytes& data)
    {
        const std::string path = dir_ / ("doc" + std::to_string(++files_) + ".bin");
        testsupport::WriteFile(path, data);
        ASSERT_TRUE(document_.LoadFromFile(path));
        ASSERT_EQ(document_.DataSize(), static_cast<std::int32_t>(data.size()));
    }
    std::int32_t Find(std::uint8_t* pattern, std::int32_t count, std::int32_t start, std::int32_t end,
                      bool ignoreCase = false, bool translate = false)
    {
        hexcore::SearchOptions options;
        options.ignoreCase = ignoreCase;
        options.translate = translate;
        options.translation = translation_;
        return hexcore::Find(document_, pattern, count, start, end, options);
    }
    std::int32_t Find(Bytes& pattern, std::int32_t start, std::int32_t end, bool ignoreCase = false,
                      bool translate = false)
    {
        return Find(pattern.data(), static_cast<std::int32_t>(pattern.size()), start, end, ignoreCase, translate);
    }

    int files_ = 0;
    hexcore::Document document_;
    TTranslationType translation_ = ttAnsi;
};

// The first (or last) position in start..end where the whole pattern fits
// and matches.
std::int32_t NaiveFind(const Bytes& doc, const Bytes& pattern, std::int64_t start, std::int64_t end, bool fold,
                       bool last = false)
{
    const auto f = [&](std::uint8_t b) { return fold ? platform::CharLower(b) : b; };
    const std::int64_t size = static_cast<std::int64_t>(doc.size());
    end = std::min(end, size - 1);
    start = std::max<std::int64_t>(start, 0);
    const std::int64_t m = static_cast<std::int64_t>(pattern.size());
    if (m == 0)
        return -1;
    const std::int64_t from = last ? end - m + 1 : start;
    for (std::int64_t q = from; q >= start && q + m - 1 <= end; q += last ? -1 : 1) {
        std::int64_t k = 0;
        while (k < m && f(doc[q + k]) == f(pattern[k]))
            ++k;
        if (k == m)
            return static_cast<std::int32_t>(q);
    }
    return -1;
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n, const Bytes& alphabet)
{
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    Bytes b(n);
    for (auto& x : b)
        x = alphabet[pick(rng)];
    return b;
}

}  // namespace

TEST_F(SearchTest, OverlappingCandidateIsNotSkipped)
{
    Load({0x41, 0x41, 0x41, 0x42});
    Bytes pattern{0x41, 0x41, 0x42};
    EXPECT_EQ(Find(pattern, 0, 3), 1);
}

TEST_F(SearchTest, MatchMustEndAtOrBeforeEndPosition)
{
    Load({'x', 'x', 'A', 'B', 'C', 'x', 'A', 'B', 'C'});
    Bytes pattern{'A', 'B', 'C'};
    EXPECT_EQ(Find(pattern, 0, 4), 2);   // last byte exactly at the end position
    EXPECT_EQ(Find(pattern, 0, 3), -1);  // would need one byte more
    EXPECT_EQ(Find(pattern, 3, 7), -1);
    EXPECT_EQ(Find(pattern, 3, 8), 6);
    // End positions beyond the document mean its end.
    EXPECT_EQ(Find(pattern, 3, 9), 6);
    EXPECT_EQ(Find(pattern, 3, 1000000), 6);
    EXPECT_EQ(Find(pattern, 6, 0x7FFFFFFF), 6);
    EXPECT_EQ(Find(pattern, 7, 0x7FFFFFFF), -1);
}

TEST_F(SearchTest, DegenerateArgumentsFindNothing)
{
    Load({'a', 'b', 'c'});
    Bytes pattern{'a', 'b', 'c', 'd'};
    EXPECT_EQ(Find(pattern, 0, 100), -1);  // longer than the range
    Bytes empty;
    EXPECT_EQ(Find(empty.data(), 0, 0, 2), -1);
    Bytes a{'a'};
    EXPECT_EQ(Find(a.data(), -1, 0, 2), -1);
    EXPECT_EQ(Find(a, 0, -1), -1);
    EXPECT_EQ(Find(a, 1, 0), -1);
    EXPECT_EQ(Find(a, 0x7FFFFFFF, 0x7FFFFFFF), -1);
    // A negative start searches from the beginning.
    EXPECT_EQ(Find(a, -5, 2), 0);
    EXPECT_EQ(Find(a, std::numeric_limits<std::int32_t>::min(), 2), 0);

    Load({});
    EXPECT_EQ(Find(a, 0, 0), -1);
    EXPECT_EQ(Find(a, 0, 100), -1);
}

TEST_F(SearchTest, IgnoreCaseFoldsBothSidesAndThePattern)
{
    Load({'.', 0x6D, 0x7A, '.', 0xE4, 0xF7});
    Bytes pattern{0x4D, 0x5A};
    EXPECT_EQ(Find(pattern, 0, 100, true), 1);
    EXPECT_EQ(pattern, (Bytes{0x6D, 0x7A}));

    Bytes upperUmlaut{0xC4};  // Ä finds ä
    EXPECT_EQ(Find(upperUmlaut, 0, 100, true), 4);
    EXPECT_EQ(upperUmlaut, Bytes{0xE4});
    Bytes times{0xD7};  // × is no letter: it does not find ÷
    EXPECT_EQ(Find(times, 0, 100, true), -1);

    Bytes exact{0x4D, 0x5A};
    EXPECT_EQ(Find(exact, 0, 100, false), -1);
    EXPECT_EQ(exact, (Bytes{0x4D, 0x5A}));
}

TEST_F(SearchTest, TranslateConvertsThePatternOnly)
{
    Load({0x41, 0xC1, 0x84, 0xE4});
    translation_ = ttEBCDIC;
    Bytes a{0x41};
    EXPECT_EQ(Find(a, 0, 100, false, true), 1);
    EXPECT_EQ(a, Bytes{0xC1});
    Bytes plain{0x41};
    EXPECT_EQ(Find(plain, 0, 100, false, false), 0);

    translation_ = ttDos8;
    Bytes umlaut{0xE4};
    EXPECT_EQ(Find(umlaut, 0, 100, false, true), 2);
    EXPECT_EQ(umlaut, Bytes{0x84});

    translation_ = ttAnsi;
    Bytes ansi{0xE4};
    EXPECT_EQ(Find(ansi, 0, 100, false, true), 3);
    EXPECT_EQ(ansi, Bytes{0xE4});
}

// One marker in a long document, placed at every position near the places
// where a search from 0 splits the document into pages, so that it straddles
// each page edge at every offset.
TEST_F(SearchTest, MatchesStraddlingPageEdges)
{
    const std::int32_t size = 140000;
    const Bytes marker{'S', 'p', 'A', 'n', 'N', 'i', 'N', 'g', 'P', 'a', 'G', 'e', 'E', 'd', 'G', 'e'};
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges = {
        {32768 - 20, 32768 + 4}, {65536 - 300, 65536 + 20}, {131072 - 600, 131072 + 20}};
    int round = 0;
    for (const auto& [from, to] : ranges) {
        for (std::int32_t at = from; at <= to; ++at) {
            const std::size_t length = std::size_t{1} << (round++ % 5);  // 1, 2, 4, 8, 16
            Bytes doc(size, 0);
            std::copy_n(marker.begin(), length, doc.begin() + at);
            Load(doc);
            const bool fold = round % 2 == 0;
            const auto end = static_cast<std::int32_t>(at + length - 1);
            Bytes pattern(marker.begin(), marker.begin() + length);
            ASSERT_EQ(Find(pattern, 0, size, fold), at) << at << " " << length;
            Bytes again(marker.begin(), marker.begin() + length);
            ASSERT_EQ(Find(again, 0, end, fold), at) << at << " " << length;
            Bytes shortOfEnd(marker.begin(), marker.begin() + length);
            ASSERT_EQ(Find(shortOfEnd, 0, end - 1, fold), -1) << at << " " << length;
        }
    }
}

// Sparse markers in a long document, searched from every start position in
// turn (and up to every end position): wherever the search splits the
// document into page windows, some marker straddles each window edge.
TEST_F(SearchTest, SweepFindsEveryMarkerAcrossWindowEdges)
{
    std::mt19937 rng(99);
    const std::int32_t size = 150000;
    Bytes doc = RandomBytes(rng, size, {'a', 'b'});
    std::vector<std::int32_t> markers;
    for (std::int32_t at = 3; at + 5 <= size; at += 997 + (at % 5))
        markers.push_back(at);
    for (const auto at : markers)
        std::copy_n("SpAn!", 5, doc.begin() + at);
    Load(doc);
    const auto nextMarker = [&](std::int32_t from, std::int32_t end) {
        for (const auto at : markers)
            if (at >= from)
                return at + 4 <= end ? at : -1;
        return -1;
    };
    for (const bool fold : {false, true}) {
        for (std::int32_t start = 0; start < size; ++start) {
            Bytes pattern = fold ? Bytes{'S', 'P', 'A', 'N', '!'} : Bytes{'S', 'p', 'A', 'n', '!'};
            ASSERT_EQ(Find(pattern, start, size, fold), nextMarker(start, size - 1)) << start << " " << fold;
        }
        for (std::int32_t end = 0; end < size; ++end) {
            Bytes pattern = fold ? Bytes{'s', 'P', 'a', 'N', '!'} : Bytes{'S', 'p', 'A', 'n', '!'};
            const std::int32_t start = std::max(0, end - 2500);
            ASSERT_EQ(Find(pattern, start, end, fold), nextMarker(start, end)) << end << " " << fold;
        }
    }
}

// Random documents of a few distinct bytes, so that partial and overlapping
// matches are frequent, searched from and to positions around page edges,
// forwards and backwards; every result must equal that of the naive scan.
TEST_F(SearchTest, AgreesWithNaiveScan)
{
    std::mt19937 rng(20240611);
    const Bytes alphabets[] = {{'a', 'b'}, {'a', 'A', 'b', 'B'}, {0x8A, 0x9A, 0xC0, 0xE0, 'x'}, {0, 1, 2}};
    const std::size_t sizes[] = {1, 17, 65535, 65536, 65537, 98305, 140000, 262151};
    auto around = [&](std::int64_t limit) -> std::int64_t {
        std::uniform_int_distribution<int> kind(0, 3);
        std::uniform_int_distribution<int> near(-24, 24);
        std::uniform_int_distribution<std::int64_t> any(0, std::max<std::int64_t>(limit, 0));
        switch (kind(rng)) {
        case 0:
            return any(rng);
        case 1:
            return std::uniform_int_distribution<std::int64_t>(0, limit / 32768 + 1)(rng) * 32768 + near(rng);
        case 2:
            return std::uniform_int_distribution<std::int64_t>(0, limit / 65536 + 1)(rng) * 65536 + near(rng);
        default:
            return limit + near(rng);
        }
    };
    int found = 0, checks = 0;
    for (const auto size : sizes) {
        for (const auto& alphabet : alphabets) {
            const Bytes doc = RandomBytes(rng, size, alphabet);
            Load(doc);
            for (int query = 0; query < 60; ++query) {
                std::uniform_int_distribution<int> length(1, query % 4 == 0 ? 24 : 6);
                Bytes pattern;
                if (query % 3 == 0 && size > 30) {
                    // A slice of the document near a page edge: a match exists.
                    const std::int64_t at = std::clamp<std::int64_t>(around(size), 0, size - 30);
                    pattern.assign(doc.begin() + at, doc.begin() + at + length(rng));
                } else {
                    pattern = RandomBytes(rng, length(rng), alphabet);
                }
                const bool fold = query % 2 == 1;
                const std::int64_t start = around(size) - (query % 7 == 0 ? 40 : 0);
                const std::int64_t end = query % 5 == 0 ? std::int64_t{0x7FFFFFFF} : around(size);
                const auto s32 = static_cast<std::int32_t>(start);
                const auto e32 = static_cast<std::int32_t>(end);
                const std::int32_t expected = NaiveFind(doc, pattern, s32, e32, fold);
                Bytes folded = pattern;
                if (fold)
                    platform::CharLowerBuff(folded.data(), folded.size());
                Bytes searched = pattern;
                ASSERT_EQ(Find(searched, s32, e32, fold), expected)
                    << "size " << size << " start " << s32 << " end " << e32 << " fold " << fold << " length "
                    << pattern.size();
                // The pattern is folded in place unless the range cannot hold it.
                const bool searchedAtAll = std::max(start, std::int64_t{0}) + std::int64_t(pattern.size()) <=
                                           std::min<std::int64_t>(end, size - 1) + 1;
                ASSERT_EQ(searched, searchedAtAll ? folded : pattern);
                hexcore::SearchOptions options;
                options.ignoreCase = fold;
                searched = pattern;
                ASSERT_EQ(hexcore::FindBackward(document_, searched.data(), static_cast<std::int32_t>(pattern.size()),
                                                s32, e32, options),
                          NaiveFind(doc, pattern, s32, e32, fold, true))
                    << "backwards, size " << size << " start " << s32 << " end " << e32;
                found += expected >= 0;
                ++checks;
            }
        }
    }
    // The comparison covered both outcomes plentifully.
    EXPECT_GT(found, checks / 4);
    EXPECT_GT(checks - found, checks / 10);
}

// Patterns longer than a page cannot be matched inside one page window.
TEST_F(SearchTest, PatternsLongerThanThePage)
{
    std::mt19937 rng(7);
    const Bytes doc = RandomBytes(rng, 300000, {'x', 'y', 'X'});
    Load(doc);
    for (const auto& [at, length] : {std::pair{70000, 40000}, std::pair{100001, 70000}, std::pair{5, 65536}}) {
        for (const bool fold : {false, true}) {
            Bytes pattern(doc.begin() + at, doc.begin() + at + length);
            const std::int32_t expected = NaiveFind(doc, pattern, 0, 0x7FFFFFFF, fold);
            ASSERT_GE(expected, 0);
            EXPECT_EQ(Find(pattern, 0, 0x7FFFFFFF, fold), expected) << at << " " << length;
            Bytes tail(doc.begin() + at, doc.begin() + at + length);
            EXPECT_EQ(Find(tail, expected + 1, 0x7FFFFFFF, fold), NaiveFind(doc, tail, expected + 1, 0x7FFFFFFF, fold));
            Bytes broken(doc.begin() + at, doc.begin() + at + length);
            broken.back() = 'z';
            EXPECT_EQ(Find(broken, 0, 0x7FFFFFFF, fold), -1);
        }
    }
}
