// SPDX-License-Identifier: MIT
#include "ExportText.h"

#include "AtomicFile.h"
#include "RecordBuffer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace dmm {

namespace {

constexpr int kDigits = 7;

char* writeExponent(char* p, int exponent)
{
    *p++ = 'E';
    if (exponent < 0) {
        *p++ = '-';
        exponent = -exponent;
    }
    return std::to_chars(p, p + 4, exponent).ptr;
}

// Splits to_chars' scientific text "d[.ddd]e±XX" into its digits and exponent.
int splitScientific(const char* text, const char* end, char* digits, int& exponent)
{
    int count = 0;
    const char* s = text;
    for (; s < end && *s != 'e'; ++s)
        if (*s != '.')
            digits[count++] = *s;
    ++s; // 'e'
    const bool negativeExponent = *s == '-';
    ++s; // sign
    std::from_chars(s, end, exponent);
    if (negativeExponent)
        exponent = -exponent;
    return count;
}

// The significant digits and decimal exponent of a positive finite float: its
// shortest round-trip form when that has at most 7 digits, so a reading of
// 0.0009862 stays 0.0009862 although the float is 0.00098619994…; otherwise
// the exact binary value rounded once to 7 digits, ties to even (to_chars with
// a precision rounds exactly). Rounding the shortest form instead would round
// twice: 1.0001424551 would become 1.000143.
int scientificDigits(float value, char* digits, int& exponent)
{
    char text[32];
    const char* end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    char shortest[12];
    int shortestExponent = 0;
    const int count = splitScientific(text, end, shortest, shortestExponent);
    if (count <= kDigits) {
        std::memcpy(digits, shortest, static_cast<std::size_t>(count));
        exponent = shortestExponent;
        return count;
    }
    end = std::to_chars(text, text + sizeof text, double(value), std::chars_format::scientific,
                        kDigits - 1)
              .ptr;
    return splitScientific(text, end, digits, exponent);
}

// 10^-38 … 10^44, each the double nearest it (exact up to 10^22): the
// decades of every normal float and the scales that bring it to 7 integer
// digits.
constexpr int kLowestPower = -38;
constexpr int kHighestPower = 44;
constexpr double kPowersOfTen[] = {
    1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27,
    1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15,
    1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,
    1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,
    1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,
    1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,
    1e34,  1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,  1e44};
static_assert(std::size(kPowersOfTen) == kHighestPower - kLowestPower + 1);

// A float times such a power, computed in doubles, is off by at most about
// 2^-52 of itself, below 3E-9 for the 7-digit integers looked at here; a
// margin far above that keeps every decision below exact.
constexpr double kMargin = 1e-7;

double timesPowerOfTen(double value, int k)
{
    return value * kPowersOfTen[k - kLowestPower];
}

// Up to eight characters in memory order held in one register: the text is
// put together with stores only, never reading back bytes just stored in
// pieces (which stalls the processor).
using Packed = std::uint64_t;
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

Packed packed(const char* text)
{
    Packed word = 0;
    std::memcpy(&word, text, 8);
    return word;
}

void store(char* p, Packed word)
{
    std::memcpy(p, &word, 8);
}

char charAt(Packed word, int i)
{
    if constexpr (kLittleEndian) {
        return char(word >> (8 * i));
    } else {
        char text[8];
        store(text, word);
        return text[i];
    }
}

// The characters from the n-th on (n < 8).
Packed dropChars(Packed word, int n)
{
    return kLittleEndian ? word >> (8 * n) : word << (8 * n);
}

// The 7 digits of n (1000000 … 9999999) and a '0'.
Packed packedDigits(std::uint32_t n)
{
    if constexpr (kLittleEndian) {
        // Two digits in memory order, for each of 0 … 99.
        static constexpr auto kPairs = [] {
            std::array<std::uint16_t, 100> pairs{};
            for (int i = 0; i < 100; ++i)
                pairs[std::size_t(i)] = std::uint16_t(('0' + i / 10) | ('0' + i % 10) << 8);
            return pairs;
        }();
        return Packed('0' + n / 1000000) | Packed(kPairs[n / 10000 % 100]) << 8 |
               Packed(kPairs[n / 100 % 100]) << 24 | Packed(kPairs[n % 100]) << 40 |
               Packed('0') << 56;
    } else {
        char text[8];
        std::to_chars(text, text + 7, n);
        text[7] = '0';
        return packed(text);
    }
}

// The same digits scientificDigits gives, without its two conversions, for
// a normal positive float whose nearest 7-digit neighbours can be told apart
// cheaply: m, the float's exact value rounded to 7 digits (ties to even), is
// what the rule writes both when the shortest form has at most 7 digits and
// when it has more, unless a neighbour m ± 1 also reads back as the float (then
// the shortest form may be that neighbour or shorter). Anything within a small
// margin of a decision (a tie at the 8th digit, a neighbour on the edge of the
// float's rounding interval, a power of ten) is left to scientificDigits.
bool roundedSevenDigits(float value, Packed& digits, int& exponent)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const int biased = int(bits >> 23);
    if (biased == 0)
        return false; // subnormal: fewer significant bits than the margin assumes
    const int binaryExponent = biased - 127; // value in [2^b, 2^(b+1))
    // floor(b·log10 2) (exact for these b), the decade of 2^b; the value is in
    // that decade or the next.
    int decimal = (binaryExponent * 78913) >> 18;
    const double v = value;
    decimal += v >= kPowersOfTen[decimal + 1 - kLowestPower];
    const double scaled = timesPowerOfTen(v, 6 - decimal);
    // The nearest double to a power below 10^23 may lie on either side of it:
    // a value that close to the decade's edge is left to the exact path.
    if (scaled < 1e6 - kMargin || scaled >= 1e7 - kMargin)
        return false;
    // A value a hair below 10^decimal still has m = 1000000, the same decimal
    // the exponent below would round to; its finer neighbours there are a
    // tenth of a step away, beyond half the float's spacing (at most 0.06).
    const double m = std::floor(scaled + 0.5);
    if (std::fabs(std::fabs(scaled - m) - 0.5) < kMargin || m >= 1e7)
        return false;
    // Half the float's spacing in the same scale: the largest distance at which
    // a decimal still reads back as this float (the smaller gap below a power
    // of two only makes this test stricter than needed).
    const double halfGap = timesPowerOfTen(
        std::bit_cast<double>(std::uint64_t(binaryExponent - 24 + 1023) << 52), 6 - decimal);
    if ((m + 1.0) - scaled < halfGap + kMargin || scaled - (m - 1.0) < halfGap + kMargin)
        return false;
    digits = packedDigits(static_cast<std::uint32_t>(m));
    exponent = decimal;
    return true;
}

} // namespace

std::size_t formatValue7(float value, char* out)
{
    char* p = out;
    if (std::isnan(value)) {
        std::memcpy(out, "NAN", 3);
        return 3;
    }
    if (std::isinf(value)) {
        if (value < 0)
            *p++ = '-';
        std::memcpy(p, "INF", 3);
        return static_cast<std::size_t>(p + 3 - out);
    }
    if (value == 0.0f) {
        *out = '0'; // also for -0
        return 1;
    }
    if (value < 0) {
        *p++ = '-';
        value = -value;
    }

    Packed digits = 0; // zeros after the digits: the integer part below takes 8
    int exponent = 0;
    int count = kDigits;
    if (!roundedSevenDigits(value, digits, exponent)) {
        char text[16] = "00000000";
        count = scientificDigits(value, text, exponent);
        digits = packed(text);
    }
    while (count > 1 && charAt(digits, count - 1) == '0')
        --count;

    // Eight characters are stored at a time where fewer are wanted: `out`
    // has room for that.
    if (exponent >= -4 && exponent < kDigits) {
        if (exponent < 0) {
            std::memcpy(p, "0.000", 5);
            p += 1 - exponent; // "0." and the zeros after it
            store(p, digits);
            p += count;
        } else {
            const int integerDigits = exponent + 1;
            store(p, digits);
            p += integerDigits;
            if (count > integerDigits) {
                *p = '.';
                store(p + 1, dropChars(digits, integerDigits));
                p += 1 + count - integerDigits;
            }
        }
    } else {
        store(p, digits);
        p[1] = '.';
        store(p + 2, dropChars(digits, 1));
        p += count > 1 ? count + 1 : 1;
        p = writeExponent(p, exponent);
    }
    return static_cast<std::size_t>(p - out);
}

std::string formatValue7(float value)
{
    char buffer[kValue7MaxChars];
    return std::string(buffer, formatValue7(value, buffer));
}

namespace {

// The length of a field's text, as FixedText::view() gives it, found eight
// bytes at a time: the lowest byte with its top bit set in `zeros` is the
// first zero byte (the bytes after it may be flagged falsely).
template <std::size_t N> std::size_t textLength(const FixedText<N>& field)
{
    if constexpr (std::endian::native != std::endian::little || N % 8 != 0) {
        return field.view().size();
    } else {
        for (std::size_t i = 0; i < N; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, field.chars().data() + i, 8);
            const std::uint64_t zeros = (word - 0x0101010101010101u) & ~word & 0x8080808080808080u;
            if (zeros != 0)
                return i + std::size_t(std::countr_zero(zeros) / 8);
        }
        return N;
    }
}

// Copies the whole field, which the line has room for, and moves past its text.
template <std::size_t N> char* appendText(char* p, const FixedText<N>& field)
{
    std::memcpy(p, field.chars().data(), N);
    return p + textLength(field);
}

} // namespace

char* writeExportLine(char* p, std::size_t index, const TARecord& record)
{
    p = std::to_chars(p, p + 20, index + 1).ptr;
    *p++ = ',';
    p = appendText(p, record.timeStamp);
    *p++ = ',';
    p += formatValue7(record.fValue, p);
    if (!record.subDisplay.empty()) {
        *p++ = ',';
        p = appendText(p, record.subDisplay);
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

namespace {

// The lines of entries begin … end - 1 of `records` appended to `text`.
template <typename Records>
void appendExportLines(QByteArray& text, const Records& records, std::size_t begin, std::size_t end)
{
    const qsizetype start = text.size();
    text.resize(start + qsizetype((end - begin) * kMaxExportLine));
    char* const first = text.data() + start;
    char* p = first;
    for (std::size_t i = begin; i < end; ++i)
        p = writeExportLine(p, i, records.at(i));
    text.truncate(start + (p - first));
}

// Entries per block of a streamed export: a few MB of text at a time.
constexpr std::size_t kExportBlockEntries = 32768;

// Consecutive records in memory, looked up by their entry index.
struct RecordRun
{
    std::span<const TARecord> records;
    std::size_t firstIndex;
    const TARecord& at(std::size_t index) const { return records[index - firstIndex]; }
};

} // namespace

void appendExportLines(QByteArray& text, std::size_t firstIndex, std::span<const TARecord> records)
{
    if (!records.empty())
        appendExportLines(text, RecordRun{records, firstIndex}, firstIndex,
                          firstIndex + records.size());
}

QByteArray exportText(const RecordBuffer& buffer, EntryRange range)
{
    const std::size_t end = std::min(range.end, buffer.size());
    QByteArray text;
    if (range.begin < end)
        appendExportLines(text, buffer, range.begin, end);
    return text;
}

BlockProducer exportTextBlocks(RecordBuffer::Snapshot records, EntryRange range)
{
    range.end = std::min(range.end, records.size());
    return [records = std::move(records), next = range.begin,
            end = range.end](QByteArray& block) mutable {
        if (next >= end)
            return false;
        const std::size_t blockEnd = std::min(end, next + kExportBlockEntries);
        appendExportLines(block, records, next, blockEnd);
        next = blockEnd;
        return true;
    };
}

std::optional<QString> saveExportText(const QString& fileName, const QByteArray& text)
{
    return writeFileAtomically(fileName, text);
}

} // namespace dmm
