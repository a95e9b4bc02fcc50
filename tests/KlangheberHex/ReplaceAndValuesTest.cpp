// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing every hit (how many, and as one undo step) and the values at the
// caret: each width in both byte orders, and the typed values refused.
#include "../hexeditor/EditingSupport.h"
#include "KlangheberHex/Replace.h"
#include "KlangheberHex/ValueFormats.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using namespace hexwindow;

namespace {

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

}  // namespace

TEST(ReplaceAll, ReplacesEveryHitLeftToRightAsOneUndoStep)
{
    struct Case {
        std::string document, pattern;
        bool ignoreCase;
        std::string replacement;
        std::int32_t count;
        std::string result;
    };
    const Case cases[] = {
        {"aaaa", "aa", false, "b", 2, "bb"},                  // hits do not overlap
        {"aaa", "aa", false, "xyz", 1, "xyza"},
        {"abcabcab", "abc", false, "", 2, "ab"},              // removed
        {"xAbxaBx", "ab", true, "ZZZ", 2, "xZZZxZZZx"},
        {"xAbxaBx", "ab", false, "ZZZ", 0, "xAbxaBx"},
        {"-ab-ab-ab-", "ab", false, "c", 3, "-c-c-c-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document + " / " + c.pattern);
        editingtest::Doc doc(Text(c.document));
        const Replacement r{{Text(c.pattern), c.ignoreCase, false}, Text(c.replacement)};
        EXPECT_EQ(ReplaceAll(*doc, r), c.count);
        EXPECT_EQ(editingtest::Contents(*doc), Text(c.result));
        EXPECT_EQ(doc->UndoCount(), c.count > 0 ? 1 : 0);
        doc->Undo();
        EXPECT_EQ(editingtest::Contents(*doc), Text(c.document));
    }
}

TEST(ValueFormats, DecodesAndEncodesEveryWidthInBothByteOrders)
{
    struct Case {
        ValueKind kind;
        bool bigEndian;
        Bytes bytes;
        std::string text;
    };
    const Case cases[] = {
        {ValueKind::Int8, false, {0xFE}, "-2"},
        {ValueKind::UInt8, false, {0xFE}, "254"},
        {ValueKind::Int16, false, {0xFE, 0xFF}, "-2"},
        {ValueKind::Int16, true, {0xFF, 0xFE}, "-2"},
        {ValueKind::UInt16, false, {0x34, 0x12}, "4660"},
        {ValueKind::UInt16, true, {0x12, 0x34}, "4660"},
        {ValueKind::Int32, false, {0x00, 0x00, 0x00, 0x80}, "-2147483648"},
        {ValueKind::Int32, true, {0x7F, 0xFF, 0xFF, 0xFF}, "2147483647"},
        {ValueKind::UInt32, false, {0x78, 0x56, 0x34, 0x12}, "305419896"},
        {ValueKind::UInt32, true, {0x12, 0x34, 0x56, 0x78}, "305419896"},
        {ValueKind::Int64, false, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
        {ValueKind::Int64, true, {0x80, 0, 0, 0, 0, 0, 0, 0}, "-9223372036854775808"},
        {ValueKind::UInt64, false, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "18446744073709551615"},
        {ValueKind::UInt64, true, {0, 0, 0, 0, 0, 0, 0x01, 0x00}, "256"},
        {ValueKind::Float32, false, {0x00, 0x00, 0xC0, 0x3F}, "1.5"},
        {ValueKind::Float32, true, {0xC2, 0xF7, 0x00, 0x00}, "-123.5"},
        {ValueKind::Float64, false, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, "1.5"},
        {ValueKind::Float64, true, {0xC0, 0, 0, 0, 0, 0, 0, 0}, "-2"},
        {ValueKind::Binary, false, {0x41}, "01000001"},
        {ValueKind::Octal, true, {0x41}, "101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Bytes longer = c.bytes;
        longer.push_back(0x99);  // bytes past the width are not read
        EXPECT_EQ(DecodeValue(c.kind, longer, c.bigEndian), c.text);
        EXPECT_EQ(EncodeValue(c.kind, c.text, c.bigEndian), c.bytes);
        EXPECT_EQ(DecodeValue(c.kind, Bytes(c.bytes.begin(), c.bytes.end() - 1), c.bigEndian), std::nullopt);
    }
}

TEST(ValueFormats, TypedValuesOutsideTheKindAreRefused)
{
    EXPECT_EQ(EncodeValue(ValueKind::Int8, "-128", false), Bytes{0x80});
    EXPECT_EQ(EncodeValue(ValueKind::UInt16, " 0xBEEF ", true), (Bytes{0xBE, 0xEF}));
    EXPECT_EQ(EncodeValue(ValueKind::Float32, "1,5", false), (Bytes{0x00, 0x00, 0xC0, 0x3F}));
    for (const auto& [kind, text] : std::initializer_list<std::pair<ValueKind, const char*>>{
             {ValueKind::Int8, "128"}, {ValueKind::Int8, "-129"}, {ValueKind::UInt16, "-1"},
             {ValueKind::UInt32, "4294967296"}, {ValueKind::Int64, "9223372036854775808"},
             {ValueKind::Float32, "1e40"}, {ValueKind::Binary, "100000000"}, {ValueKind::Octal, "8"},
             {ValueKind::Int16, "12a"}, {ValueKind::UInt8, ""}})
        EXPECT_EQ(EncodeValue(kind, text, false), std::nullopt) << text;
}
