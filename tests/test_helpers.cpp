#include <gtest/gtest.h>

#include "common/mod__HelperFunctions.h"

using namespace veltrane;

TEST(CutAtNul, KeepsWhatStandsBeforeTheFirstNul) {
    EXPECT_EQ(CutAtNul(std::string("abc\0def", 7)), "abc");
    EXPECT_EQ(CutAtNul("abc"), "abc");
    EXPECT_EQ(CutAtNul(""), "");
    EXPECT_EQ(CutAtNul(std::string("\0abc", 4)), "");
}

TEST(FormatDuration, WritesHoursMinutesSecondsWithTwoDigitsAtLeast) {
    EXPECT_EQ(FormatDuration(0), "00:00:00");
    EXPECT_EQ(FormatDuration(59), "00:00:59");
    EXPECT_EQ(FormatDuration(60), "00:01:00");
    EXPECT_EQ(FormatDuration(312), "00:05:12");
    EXPECT_EQ(FormatDuration(3599), "00:59:59");
    EXPECT_EQ(FormatDuration(3600), "01:00:00");
    EXPECT_EQ(FormatDuration(360000), "100:00:00");
}

TEST(FormatDuration, RoundsNegativeHoursDown) {
    EXPECT_EQ(FormatDuration(-1), "-01:59:59");
}

TEST(Cp1252ToUtf8, DecodesTheWindowsRangeAndLatin1) {
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(Cp1252ToUtf8("\xA9"), "\xC2\xA9");      // copyright sign
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");      // unassigned: the C1 control of its value
    EXPECT_EQ(Cp1252ToUtf8("\xC4\xDF"), "\xC3\x84\xC3\x9F");
    EXPECT_EQ(Cp1252ToUtf8("plain"), "plain");
}

TEST(RoundHalfEven, SendsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.6), 3.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(418.4), 418.0);
}

TEST(ReadLeadingNumber, IgnoresBlanksAndStopsAtTheFirstForeignCharacter) {
    EXPECT_EQ(ReadLeadingNumber("00 03"), 3.0);
    EXPECT_EQ(ReadLeadingNumber("00012"), 12.0);
    EXPECT_EQ(ReadLeadingNumber("12ab"), 12.0);
    EXPECT_EQ(ReadLeadingNumber("abc"), 0.0);
    EXPECT_EQ(ReadLeadingNumber(""), 0.0);
    EXPECT_EQ(ReadLeadingNumber("-0001"), -1.0);
    EXPECT_EQ(ReadLeadingNumber("2.5xx"), 2.5);
    EXPECT_EQ(ReadLeadingNumber("1e3"), 1000.0);
    EXPECT_EQ(ReadLeadingNumber("1E+2"), 100.0);
    EXPECT_EQ(ReadLeadingNumber("7e"), 7.0);  // an exponent without digits is no exponent
}

TEST(ReadWholeNumber, AcceptsOnlyANumberWithBlanksAroundOrANulBehind) {
    EXPECT_EQ(ReadWholeNumber("215000"), 215000.0);
    EXPECT_EQ(ReadWholeNumber(" 42 "), 42.0);
    EXPECT_EQ(ReadWholeNumber(std::string("4096\0junk", 9)), 4096.0);
    EXPECT_EQ(ReadWholeNumber("1.5"), 1.5);
    EXPECT_FALSE(ReadWholeNumber(""));
    EXPECT_FALSE(ReadWholeNumber("12ab"));
    EXPECT_FALSE(ReadWholeNumber("\x01\xFF\xFE"));
}

TEST(BigEndianToDecimal, ConvertsCountersOfAnyLengthExactly) {
    EXPECT_EQ(BigEndianToDecimal(""), "0");
    EXPECT_EQ(BigEndianToDecimal(std::string("\0\0\x01\x02", 4)), "258");
    EXPECT_EQ(BigEndianToDecimal("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"), "18446744073709551615");
    // 2^64: one byte more than a 64-bit number holds.
    EXPECT_EQ(BigEndianToDecimal(std::string("\x01\0\0\0\0\0\0\0\0", 9)), "18446744073709551616");
    // 1 followed by two implied zero bytes is 65536.
    EXPECT_EQ(BigEndianToDecimal("\x01", 2), "65536");
    // 10^30, thirteen bytes: several limbs and a carry between them.
    const std::string tenToThe30("\x0C\x9F\x2C\x9C\xD0\x46\x74\xED\xEA\x40\x00\x00\x00", 13);
    EXPECT_EQ(BigEndianToDecimal(tenToThe30), "1" + std::string(30, '0'));
}

TEST(BigEndianToDecimal, WritesTheLongestExactCounterInFull) {
    const std::string shown = BigEndianToDecimal(std::string(kMaxExactCounterBytes, '\xFF'));
    EXPECT_EQ(shown.size(), 9865U);  // 2^32768 - 1
    EXPECT_EQ(shown.substr(0, 12), "141546103104");
    EXPECT_EQ(shown.substr(shown.size() - 12), "633712377855");
}

TEST(BigEndianToDecimal, GivesHugeCountersInScientificForm) {
    const std::string counter = "\x01" + std::string(kMaxExactCounterBytes, '\0');
    const std::string shown = BigEndianToDecimal(counter);
    // 256^4096 = 10^9864.xx
    EXPECT_EQ(shown.substr(shown.find('E')), "E+9864");
}
