// Small text and number helpers shared by every module.
//
// Text inside the logic is a std::string of single-byte Windows-1252 characters, one per byte
// read from a file; a zero byte is a NUL character. Decoding to Unicode happens only at the
// edges (widgets, report output) through Cp1252ToUtf8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

// The text up to its first NUL character (the NUL excluded), or the whole text.
std::string CutAtNul(std::string_view text);
// The same, as a view of the same characters.
std::string_view BeforeNul(std::string_view text);

// Spaces (and only spaces) removed at both ends.
std::string_view TrimSpaces(std::string_view text);

// Whole seconds as hours, minutes and seconds of at least two digits each, joined by ":".
// Hours are not wrapped into days; a negative number keeps its sign on each part that needs it
// (-1 gives "-01:59:59" because hours are rounded down).
std::string FormatDuration(std::int64_t seconds);

// Decodes single-byte Windows-1252 text to UTF-8. The five unassigned bytes map to the C1
// control characters of the same value, as the Windows conversion does.
std::string Cp1252ToUtf8(std::string_view text);
void AppendCp1252AsUtf8(std::string& out, std::string_view text);

// What a pane shows of a cell: its text up to the first NUL, decoded to UTF-8.
std::string ShownUtf8(std::string_view cell);

// Rounds to the nearest whole number, a half going to the even neighbour.
double RoundHalfEven(double value);

// Reads a number the forgiving way: blanks (space, tab, CR, LF) are ignored anywhere, reading
// stops at the first character that cannot continue a number (an optional sign, digits, one
// decimal point, an exponent E or D with its own sign and digits), and no number at all gives 0.
double ReadLeadingNumber(std::string_view text);

// Reads a whole text as one number: blanks around it are allowed and a NUL ends the text (a
// terminator after the digits), but anything else that is not part of the number makes the
// text no number at all (nullopt). An empty text is no number.
std::optional<double> ReadWholeNumber(std::string_view text);

// Upper-cases the ASCII letters a to z; every other byte is kept.
std::string ToUpperAscii(std::string_view text);

// Lower-cases one byte if it is an ASCII capital.
constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive search of needle in haystack (ASCII letters only); npos when absent.
std::size_t FindIgnoringCase(std::string_view haystack, std::string_view needle,
                             std::size_t from = 0);

// Compares two texts character by character after lower-casing ASCII letters.
// Negative, zero or positive like std::string::compare.
int CompareIgnoringCase(std::string_view a, std::string_view b);

// Decimal digits of an unsigned big-endian number of any length. Counters longer than
// kMaxExactCounterBytes significant bytes are given in scientific form instead (their exact
// digits would cost quadratic time on a single click).
inline constexpr std::size_t kMaxExactCounterBytes = 4 * 1024;
std::string BigEndianToDecimal(std::string_view bytes, std::uint64_t zeroTail = 0);

// The unsigned number of up to eight bytes, most significant first (base 256).
std::uint64_t ReadBigEndian(std::string_view bytes);

// The characters of a frame identifier after upper-casing, as Windows-1252: digits, capitals
// and "ÄÖÜß". The Lyrics3 reader's test for a text-like ending starts from the same set.
inline constexpr std::string_view kIdentifierChars =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC4\xD6\xDC\xDF";

// Upper-case hexadecimal digits without leading zeros ("0" for zero).
std::string ToHexUpper(std::uint64_t value);

}  // namespace veltrane
