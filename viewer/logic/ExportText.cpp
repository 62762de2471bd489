// SPDX-License-Identifier: MIT
#include "ExportText.h"

#include "AtomicFile.h"
#include "RecordBuffer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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

    char digits[kDigits + 2];
    int exponent = 0;
    int count = scientificDigits(value, digits, exponent);
    while (count > 1 && digits[count - 1] == '0')
        --count;

    if (exponent >= -4 && exponent < kDigits) {
        if (exponent < 0) {
            *p++ = '0';
            *p++ = '.';
            for (int i = exponent + 1; i < 0; ++i)
                *p++ = '0';
            std::memcpy(p, digits, static_cast<std::size_t>(count));
            p += count;
        } else {
            const int integerDigits = exponent + 1;
            for (int i = 0; i < integerDigits; ++i)
                *p++ = i < count ? digits[i] : '0';
            if (count > integerDigits) {
                *p++ = '.';
                std::memcpy(p, digits + integerDigits,
                            static_cast<std::size_t>(count - integerDigits));
                p += count - integerDigits;
            }
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            std::memcpy(p, digits + 1, static_cast<std::size_t>(count - 1));
            p += count - 1;
        }
        p = writeExponent(p, exponent);
    }
    return static_cast<std::size_t>(p - out);
}

std::string formatValue7(float value)
{
    char buffer[kValue7MaxChars];
    return std::string(buffer, formatValue7(value, buffer));
}

char* writeExportLine(char* p, std::size_t index, const TARecord& record)
{
    p = std::to_chars(p, p + 20, index + 1).ptr;
    *p++ = ',';
    const std::string_view stamp = record.timeStamp.view();
    std::memcpy(p, stamp.data(), stamp.size());
    p += stamp.size();
    *p++ = ',';
    p += formatValue7(record.fValue, p);
    const std::string_view sub = record.subDisplay.view();
    if (!sub.empty()) {
        *p++ = ',';
        std::memcpy(p, sub.data(), sub.size());
        p += sub.size();
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

namespace {

// The lines of entries begin … end - 1 of `records` appended to `text`.
template <typename Records>
void appendExportLines(QByteArray& text, const Records& records, std::size_t begin,
                       std::size_t end)
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

} // namespace

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
    return [records = std::move(records), next = range.begin, end = range.end](
               QByteArray& block) mutable {
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
