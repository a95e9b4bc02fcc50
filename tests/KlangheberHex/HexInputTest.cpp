// SPDX-License-Identifier: GPL-3.0-or-later
// What people type into the window's dialogs and what the clipboard
// carries: each rule as a table of inputs and results.
#include "KlangheberHex/HexInput.h"

#include <QMimeData>
#include <gtest/gtest.h>

using namespace hexwindow;

namespace {

struct OffsetCase {
    const char* text;
    std::optional<std::int64_t> offset;
};

struct BytesCase {
    const char* text;
    std::optional<Bytes> bytes;
};

}  // namespace

TEST(HexInput, OffsetIsHexAfter0xOrDollarAndDecimalOtherwise)
{
    const OffsetCase cases[] = {
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1F", 31},
        {"31", 31},
        {"  0x7FFFFFFF ", 0x7FFFFFFF},
        {"0", 0},
        {"010", 10},  // a leading zero is no octal prefix
        {"4000000000", 4000000000},
        {"0x4000000000000001", std::nullopt},  // beyond 2^62
        {"1F", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"", std::nullopt},
        {"-5", std::nullopt},
        {"+5", std::nullopt},
        {"0x1G", std::nullopt},
        {"12 34", std::nullopt},
        {"1.000", std::nullopt},
    };
    for (const OffsetCase& c : cases)
        EXPECT_EQ(ParseOffset(QString::fromUtf8(c.text)), c.offset) << c.text;
}

TEST(HexInput, SearchTakesHexGroupsWithOrWithoutSeparators)
{
    const BytesCase cases[] = {
        {"4D 5A 90 00", Bytes{0x4D, 0x5A, 0x90, 0x00}},
        {"4d5a", Bytes{0x4D, 0x5A}},
        {"0x4D, 0x5A", Bytes{0x4D, 0x5A}},
        {"$FF\t0a\n", Bytes{0xFF, 0x0A}},
        {"A", Bytes{0x0A}},
        {"A B", Bytes{0x0A, 0x0B}},
        {"ABC", std::nullopt},  // three digits: which byte has one?
        {"4G", std::nullopt},
        {"0x", std::nullopt},
        {"", std::nullopt},
        {" , ", std::nullopt},
    };
    for (const BytesCase& c : cases)
        EXPECT_EQ(ParseHexBytes(QString::fromUtf8(c.text)), c.bytes) << c.text;
}

TEST(HexInput, PastedTextIsHexOnlyAsPairsSoWordsStayText)
{
    const BytesCase cases[] = {
        {"4D 5A 90 00", Bytes{0x4D, 0x5A, 0x90, 0x00}},
        {" ab\ncd ", Bytes{0xAB, 0xCD}},
        {"cafe", std::nullopt},
        {"A B", std::nullopt},
        {"0x4D", std::nullopt},
        {"", std::nullopt},
    };
    for (const BytesCase& c : cases)
        EXPECT_EQ(ParseHexPairs(QString::fromUtf8(c.text)), c.bytes) << c.text;
}

TEST(HexInput, ClipboardCarriesBytesAndHexTextAndPastePrefersTheBytes)
{
    const Bytes bytes{0x00, 0x4D, 0xFF, 0x0A};
    std::unique_ptr<QMimeData> copied(MakeClipboardData(bytes));
    EXPECT_EQ(copied->text(), QStringLiteral("00 4D FF 0A"));
    EXPECT_EQ(PastedBytes(*copied), bytes);

    // Another program's text: hex pairs as bytes, anything else as
    // Windows-1252 (unknown characters as "?").
    QMimeData hexText;
    hexText.setText(QStringLiteral("de ad"));
    EXPECT_EQ(PastedBytes(hexText), (Bytes{0xDE, 0xAD}));
    QMimeData text;
    text.setText(QStringLiteral("Grüße €→"));
    EXPECT_EQ(PastedBytes(text), (Bytes{'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x80, '?'}));
    EXPECT_TRUE(PastedBytes(QMimeData()).empty());
}

TEST(HexInput, TheHexPaneTakesAnyHexTextAlsoACArrayCopiedHere)
{
    const Bytes bytes{0x00, 0x4D, 0xFF, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const QString array = FormatCArray(bytes);
    EXPECT_TRUE(array.startsWith(QStringLiteral("const unsigned char data[13] = {\n    0x00, 0x4D, 0xFF, 0x0A,")));
    EXPECT_TRUE(array.endsWith(QStringLiteral(" 0x08,\n    0x09\n};\n"))) << array.toStdString();
    for (const QString& text : {array, QStringLiteral("004DFF0A010203 0x04,$05 6 7 8 9")}) {
        QMimeData mime;
        mime.setText(text);
        EXPECT_EQ(PastedBytes(mime, true), bytes) << text.toStdString();
    }
    QMimeData word;
    word.setText(QStringLiteral("cafe"));
    EXPECT_EQ(PastedBytes(word, true), (Bytes{0xCA, 0xFE}));
    EXPECT_EQ(PastedBytes(word, false), (Bytes{'c', 'a', 'f', 'e'}));
}

TEST(HexInput, SearchPatternTranslatesTextButNotHexBytes)
{
    const std::optional<SearchPattern> text = MakeSearchPattern({QStringLiteral("Ärger"), false, false});
    ASSERT_TRUE(text);
    EXPECT_EQ(text->bytes, (Bytes{0xC4, 'r', 'g', 'e', 'r'}));
    EXPECT_TRUE(text->ignoreCase);
    EXPECT_TRUE(text->translate);
    EXPECT_FALSE(MakeSearchPattern({QStringLiteral("Ärger"), false, true})->ignoreCase);

    const std::optional<SearchPattern> hex = MakeSearchPattern({QStringLiteral("41 42"), true, false});
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->bytes, (Bytes{0x41, 0x42}));
    EXPECT_FALSE(hex->ignoreCase);  // hex bytes are searched exactly
    EXPECT_FALSE(hex->translate);

    EXPECT_FALSE(MakeSearchPattern({QString(), false, false}));
    EXPECT_FALSE(MakeSearchPattern({QStringLiteral("xyz"), true, false}));
}
