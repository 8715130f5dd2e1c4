#include <gtest/gtest.h>

#include "common/mod__HelperFunctions.h"

using namespace veltrane;

TEST(Helpers, FormatDurationsWithTwoDigitsAtLeastAndNegativeHoursRoundedDown) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "00:00:00"},    {59, "00:00:59"},     {60, "00:01:00"},
        {3599, "00:59:59"}, {3600, "01:00:00"},   {360000, "100:00:00"},
        {-1, "-01:59:59"},  {-3600, "-01:00:00"}, {-3601, "-02:59:59"}};
    for (const auto& [seconds, shown] : cases) {
        EXPECT_EQ(FormatDuration(seconds), shown) << seconds;
    }
}

TEST(Helpers, DecodeWindows1252AndCutAtTheFirstNul) {
    // The euro sign, a single right-pointing angle quotation mark, a capital Y with diaeresis.
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9B\x9F"), "\xE2\x82\xAC\xE2\x80\xBA\xC5\xB8");
    EXPECT_EQ(Cp1252ToUtf8("\x7F\x81\xA0"), "\x7F\xC2\x81\xC2\xA0");  // unassigned keeps its value
    EXPECT_EQ(Cp1252ToUtf8("\xC4\xFF"), "\xC3\x84\xC3\xBF");
    EXPECT_EQ(CutAtNul(std::string("abc\0def", 7)), "abc");
    EXPECT_EQ(CutAtNul(std::string("\0abc", 4)), "");
    EXPECT_EQ(CutAtNul("abc"), "abc");
}

TEST(Helpers, WriteCountersOfAnyLengthExactlyAndHugeOnesInScientificForm) {
    EXPECT_EQ(BigEndianToDecimal(""), "0");
    EXPECT_EQ(BigEndianToDecimal(std::string("\0\0\x01\x02", 4)), "258");
    EXPECT_EQ(BigEndianToDecimal("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"), "18446744073709551615");
    EXPECT_EQ(BigEndianToDecimal(std::string("\x01\0\0\0\0\0\0\0\0", 9)), "18446744073709551616");
    EXPECT_EQ(BigEndianToDecimal("\x01", 2), "65536");  // two implied zero bytes
    // 10^30 in thirteen bytes: several limbs and carries between them.
    const std::string tenToThe30("\x0C\x9F\x2C\x9C\xD0\x46\x74\xED\xEA\x40\x00\x00\x00", 13);
    EXPECT_EQ(BigEndianToDecimal(tenToThe30), "1" + std::string(30, '0'));
    const std::string longest = BigEndianToDecimal(std::string(kMaxExactCounterBytes, '\xFF'));
    EXPECT_EQ(longest.size(), 9865U);  // 2^32768 - 1
    EXPECT_EQ(longest.substr(0, 12), "141546103104");
    EXPECT_EQ(longest.substr(longest.size() - 12), "633712377855");
    const std::string huge = BigEndianToDecimal("\x01" + std::string(kMaxExactCounterBytes, '\0'));
    EXPECT_EQ(huge.substr(huge.find('E')), "E+9864");  // 256^4096 = 10^9864.xx
}
