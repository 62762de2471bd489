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

    // The shortest text that reads back as this float: "d[.ddddddddd]e±XX".
    char sci[32];
    const char* sciEnd =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
    char digits[12];
    int count = 0;
    const char* s = sci;
    for (; s < sciEnd && *s != 'e'; ++s)
        if (*s != '.')
            digits[count++] = *s;
    int exponent = 0;
    ++s; // 'e'
    const bool negativeExponent = *s == '-';
    ++s; // sign
    std::from_chars(s, sciEnd, exponent);
    if (negativeExponent)
        exponent = -exponent;

    if (count > kDigits) {
        const bool roundUp = digits[kDigits] >= '5';
        count = kDigits;
        if (roundUp) {
            int i = count - 1;
            while (i >= 0 && digits[i] == '9')
                --i;
            if (i < 0) { // 9999999|5 -> 1000000, one decade up
                digits[0] = '1';
                count = 1;
                ++exponent;
            } else {
                ++digits[i];
                count = i + 1;
            }
        }
    }
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
