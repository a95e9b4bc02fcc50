// SPDX-License-Identifier: GPL-3.0-or-later
// The forms the command line prints: one-line status texts, JSON strings for
// any file name, and the summary's German counts.
#include "Klangheber/Report.h"

#include <gtest/gtest.h>

using namespace klangheber;

TEST(Report, ControlCharactersAndBytesThatAreNoUtf8AreEscapedSoAStatusIsOneLineAsItIs)
{
    EXPECT_EQ(Printable("a\nb\tc\rd\x1b\x7f\xc3\xa4\\\xff\xc3("), "a\\nb\\tc\\rd\\x1b\\x7f\xc3\xa4\\\\xff\\xc3(");
}

TEST(Report, JsonStringKeepsValidUtf8AndEscapesEveryOtherByte)
{
    const struct {
        std::string bytes;
        std::string json;
    } cases[] = {
        {"Stra\xc3\x9f" "e \xf0\x9f\x8e\xb5", "\"Stra\xc3\x9f" "e \xf0\x9f\x8e\xb5\""},  // 2- and 4-byte forms
        {"\"q\" \\ \n\x01\x7f", "\"\\\"q\\\" \\\\ \\u000a\\u0001\\u007f\""},
        {"\xff\x80", "\"\\udcff\\udc80\""},                                   // no lead byte
        {"\xc0\xaf", "\"\\udcc0\\udcaf\""},                                   // overlong "/"
        {"\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""},                        // a surrogate encoded
        {"\xf4\x90\x80\x80", "\"\\udcf4\\udc90\\udc80\\udc80\""},             // past U+10FFFF
        {"a\xc3", "\"a\\udcc3\""},                                            // cut short at the end
        {"\xe2\x82(", "\"\\udce2\\udc82(\""},                                 // cut short before ASCII
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonString(c.bytes), c.json) << c.json;
}

TEST(Report, SummaryCountsInGermanWithSingularsAndADecimalComma)
{
    const struct {
        Tally tally;
        double seconds;
        bool scanOnly;
        std::string text;
    } cases[] = {
        {{4, {1, 1, 1, 0}, 1, 0}, 0.123, false,
         "4 Pakete: 3 Module geschrieben (1 it, 1 s3m, 1 xm), 1 ohne Modul, 0 Fehler, 0,1 s"},
        {{1, {1, 0, 0, 0}, 0, 0}, 12.36, false, "1 Paket: 1 Modul geschrieben (1 it), 0 ohne Modul, 0 Fehler, 12,4 s"},
        {{5, {0, 0, 2, 0}, 0, 1}, 0, true, "5 Pakete: 2 Module gefunden (2 xm), 0 ohne Modul, 1 Fehler, "
                                      "2 nicht bearbeitet, 0,0 s"},
        {{0, {}, 0, 0}, 0.04, false, "0 Pakete: 0 Module geschrieben, 0 ohne Modul, 0 Fehler, 0,0 s"},
        // Two music objects of one package; the second package not reached.
        {{2, {0, 0, 0, 2}, 0, 0, 1}, 0, false, "2 Pakete: 2 Module geschrieben (2 mod), 0 ohne Modul, 0 Fehler, "
                                             "1 nicht bearbeitet, 0,0 s"},
        // Interrupted during the walk, and after it; folders not read.
        {{62, {}, 0, 0, 0, 0, true, false}, 1, false,
         "Lauf abgebrochen: mindestens 62 Pakete: 0 Module geschrieben, 0 ohne Modul, 0 Fehler, "
         "mindestens 62 nicht bearbeitet, 1,0 s"},
        {{300, {3, 0, 0, 0}, 0, 0, 0, 0, true, true}, 0, false,
         "Lauf abgebrochen: 300 Pakete: 3 Module geschrieben (3 it), 0 ohne Modul, 0 Fehler, 297 nicht bearbeitet, "
         "0,0 s"},
        {{2, {2, 0, 0, 0}, 0, 0, 0, 3}, 0, false,
         "2 Pakete: 2 Module geschrieben (2 it), 0 ohne Modul, 0 Fehler, 3 Ordner nicht lesbar, 0,0 s"},
        // The music's length (rounded to the second) and a rendering run's audio files.
        {{3, {3, 0, 0, 0}, 0, 0, 0, 0, false, true, true, 3761.5, true, 3, 41234567}, 2, false,
         "3 Pakete: 3 Module geschrieben (3 it), 1:02:42 Musik, 3 Audiodateien (41,2 MB), 0 ohne Modul, 0 Fehler, "
         "2,0 s"},
        {{1, {1, 0, 0, 0}, 0, 1, 1, 0, false, true, true, 59.4, true, 0, 0}, 0, false,
         "1 Paket: 1 Modul geschrieben (1 it), 0:59 Musik, 0 Audiodateien (0,0 MB), 0 ohne Modul, 1 Fehler, 0,0 s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SummaryText(c.tally, c.seconds, c.scanOnly), c.text);
}
