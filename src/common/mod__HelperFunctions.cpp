#include "common/mod__HelperFunctions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <vector>

namespace veltrane {

std::string_view BeforeNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

std::string CutAtNul(std::string_view text) {
    return std::string(BeforeNul(text));
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

namespace {

// At least two digits, a minus sign in front of the digits of a negative number.
std::string TwoDigits(std::int64_t value) {
    const bool negative = value < 0;
    // The magnitude of INT64_MIN does not fit a signed number; unsigned arithmetic keeps it.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::array<char, 24> digits{};
    std::size_t first = digits.size();
    do {
        digits[--first] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (digits.size() - first < 2) {
        digits[--first] = '0';
    }
    if (negative) {
        digits[--first] = '-';
    }
    return {digits.data() + first, digits.size() - first};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

}  // namespace

std::string FormatDuration(std::int64_t seconds) {
    const std::int64_t h = FloorDiv(seconds, 3600);
    const std::int64_t r = seconds - h * 3600;
    const std::int64_t m = FloorDiv(r, 60);
    const std::int64_t s = r - m * 60;
    return TwoDigits(h) + ":" + TwoDigits(m) + ":" + TwoDigits(s);
}

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    AppendCp1252AsUtf8(out, text);
    return out;
}

std::string ShownUtf8(std::string_view cell) {
    return Cp1252ToUtf8(BeforeNul(cell));
}

void AppendCp1252AsUtf8(std::string& out, std::string_view text) {
    // Code points of bytes 0x80 to 0x9F; the unassigned ones keep their own value.
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        char32_t cp = byte;
        if (byte >= 0x80 && byte <= 0x9F) {
            cp = kHigh[byte - 0x80];
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const double floorValue = std::floor(value);
    const double diff = value - floorValue;
    if (diff < 0.5) {
        return floorValue;
    }
    if (diff > 0.5) {
        return floorValue + 1.0;
    }
    return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the first significant digit of an unsigned literal stands: the number of digits before
// the point for a value of at least 1, minus the zeros after the point for a fraction, moved by
// the exponent. Only its sign is used, to tell a literal too large for a double from one too small.
std::int64_t DecimalMagnitude(std::string_view literal) {
    std::size_t i = 0;
    while (i < literal.size() && literal[i] == '0') {
        ++i;
    }
    std::int64_t magnitude = 0;
    while (i < literal.size() && IsDigit(literal[i])) {
        ++magnitude;
        ++i;
    }
    if (i < literal.size() && literal[i] == '.') {
        ++i;
        while (magnitude == 0 && i < literal.size() && literal[i] == '0') {
            --magnitude;
            ++i;
        }
        while (i < literal.size() && IsDigit(literal[i])) {
            ++i;
        }
    }
    std::int64_t exponent = 0;
    if (i < literal.size()) {  // 'e', an optional sign, digits (saturated: only the sign matters)
        ++i;
        const bool negativeExponent = i < literal.size() && literal[i] == '-';
        if (i < literal.size() && (literal[i] == '+' || literal[i] == '-')) {
            ++i;
        }
        for (; i < literal.size() && IsDigit(literal[i]); ++i) {
            exponent = std::min<std::int64_t>(exponent * 10 + (literal[i] - '0'), 1'000'000'000);
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    return magnitude + exponent;
}

// The value of a literal that ScanNumber has put together, read the same under every locale (the
// window's toolkit sets the C library's locale from the desktop, where a comma may be the decimal
// mark). A value too large for a double is an infinity and one too small a zero, as strtod gives.
double ParseLiteral(std::string_view literal) {
    const bool negative = !literal.empty() && literal.front() == '-';
    if (!literal.empty() && (literal.front() == '+' || literal.front() == '-')) {
        literal.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(literal.data(), literal.data() + literal.size(),
                                              value, std::chars_format::general);
    static_cast<void>(end);
    if (error == std::errc::result_out_of_range) {
        value = DecimalMagnitude(literal) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

// Scans a number from text, skipping blanks when skipInnerBlanks is set. Returns the value and
// the position just behind the last character that belonged to the number (blanks included);
// found is false when no digit was seen.
struct Scan {
    double value = 0.0;
    std::size_t end = 0;
    bool found = false;
};

Scan ScanNumber(std::string_view text, bool skipInnerBlanks) {
    std::string literal;  // sign, digits, '.', 'e', exponent: what ParseLiteral is given
    std::size_t i = 0;
    auto skip = [&] {
        while (skipInnerBlanks && i < text.size() && IsBlank(text[i])) {
            ++i;
        }
    };
    Scan scan;
    skip();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        literal.push_back(text[i++]);
    }
    bool digits = false;
    bool point = false;
    for (;;) {
        skip();
        if (i >= text.size()) {
            break;
        }
        if (IsDigit(text[i])) {
            literal.push_back(text[i++]);
            digits = true;
        } else if (text[i] == '.' && !point) {
            literal.push_back(text[i++]);
            point = true;
        } else {
            break;
        }
    }
    scan.end = i;
    if (!digits) {
        return scan;
    }
    // An exponent counts only when at least one digit follows it.
    if (i < text.size()) {
        const char e = text[i];
        if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
            std::size_t j = i + 1;
            std::string exponent = "e";
            while (skipInnerBlanks && j < text.size() && IsBlank(text[j])) {
                ++j;
            }
            if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
                exponent.push_back(text[j++]);
            }
            bool expDigits = false;
            for (;;) {
                while (skipInnerBlanks && j < text.size() && IsBlank(text[j])) {
                    ++j;
                }
                if (j < text.size() && IsDigit(text[j])) {
                    exponent.push_back(text[j++]);
                    expDigits = true;
                } else {
                    break;
                }
            }
            if (expDigits) {
                literal += exponent;
                scan.end = j;
            }
        }
    }
    scan.found = true;
    scan.value = ParseLiteral(literal);
    return scan;
}

}  // namespace

double ReadLeadingNumber(std::string_view text) {
    return ScanNumber(text, true).value;
}

std::optional<double> ReadWholeNumber(std::string_view text) {
    text = BeforeNul(text);
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    const Scan scan = ScanNumber(text, false);
    if (!scan.found || scan.end != text.size()) {
        return std::nullopt;
    }
    return scan.value;
}

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::size_t FindIgnoringCase(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (needle.size() > haystack.size()) {
        return std::string_view::npos;
    }
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && LowerAscii(haystack[i + k]) == LowerAscii(needle[k])) {
            ++k;
        }
        if (k == needle.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::string BigEndianToDecimal(std::string_view bytes, std::uint64_t zeroTail) {
    std::size_t first = 0;
    while (first < bytes.size() && bytes[first] == '\0') {
        ++first;
    }
    const std::string_view significant = bytes.substr(first);
    if (significant.empty()) {
        return "0";
    }
    const std::uint64_t totalBytes = significant.size() + zeroTail;
    if (totalBytes > kMaxExactCounterBytes) {
        // value = top * 256^(totalBytes - taken), top the leading (up to) eight bytes
        const std::size_t taken = std::min<std::size_t>(8, significant.size());
        double top = 0.0;
        for (std::size_t i = 0; i < taken; ++i) {
            top = top * 256.0 + static_cast<unsigned char>(significant[i]);
        }
        const double log10Value =
            std::log10(top) + static_cast<double>(totalBytes - taken) * 8.0 * std::log10(2.0);
        double exponent = std::floor(log10Value);
        double mantissa = std::pow(10.0, log10Value - exponent);
        if (mantissa >= 9.9999995) {
            mantissa = 1.0;
            exponent += 1.0;
        }
        // Printed without the locale, so the decimal mark is a point on every desktop.
        std::array<char, 64> buffer{};
        const auto mantissaEnd = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                               mantissa, std::chars_format::fixed, 6)
                                     .ptr;
        std::string out(buffer.data(), mantissaEnd);
        out += "E+";
        const auto exponentEnd = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                               static_cast<std::int64_t>(exponent))
                                     .ptr;
        out.append(buffer.data(), exponentEnd);
        return out;
    }
    // 32-bit limbs, most significant first; repeated division by 10^9 yields nine digits a pass.
    std::vector<std::uint32_t> limbs;
    const std::size_t totalLen = significant.size() + zeroTail;
    const std::size_t lead = totalLen % 4;
    limbs.reserve(totalLen / 4 + 1);
    std::uint32_t current = 0;
    std::size_t inLimb = 0;
    const std::size_t firstLimbBytes = lead == 0 ? 4 : lead;
    for (std::size_t i = 0; i < totalLen; ++i) {
        const auto byte = i < significant.size() ? static_cast<unsigned char>(significant[i]) : 0U;
        current = (current << 8) | byte;
        ++inLimb;
        const std::size_t limbSize = limbs.empty() ? firstLimbBytes : 4;
        if (inLimb == limbSize) {
            limbs.push_back(current);
            current = 0;
            inLimb = 0;
        }
    }
    std::vector<std::uint32_t> chunks;  // base 10^9, least significant first
    std::size_t start = 0;
    while (start < limbs.size()) {
        std::uint64_t remainder = 0;
        for (std::size_t i = start; i < limbs.size(); ++i) {
            const std::uint64_t value = (remainder << 32) | limbs[i];
            limbs[i] = static_cast<std::uint32_t>(value / 1000000000U);
            remainder = value % 1000000000U;
        }
        chunks.push_back(static_cast<std::uint32_t>(remainder));
        while (start < limbs.size() && limbs[start] == 0) {
            ++start;
        }
    }
    std::string out = std::to_string(chunks.back());
    for (std::size_t i = chunks.size() - 1; i-- > 0;) {
        std::array<char, 9> digits{};
        digits.fill('0');
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), chunks[i]).ptr;
        const auto length = static_cast<std::size_t>(end - digits.data());
        out.append(digits.size() - length, '0');
        out.append(digits.data(), length);
    }
    return out;
}

std::uint64_t ReadBigEndian(std::string_view bytes) {
    std::uint64_t value = 0;
    for (const char b : bytes) {
        value = (value << 8) | static_cast<unsigned char>(b);
    }
    return value;
}

std::string ToHexUpper(std::uint64_t value) {
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::array<char, 16> digits{};
    std::size_t first = digits.size();
    do {
        digits[--first] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return {digits.data() + first, digits.size() - first};
}

}  // namespace veltrane
