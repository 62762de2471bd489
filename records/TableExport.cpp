// SPDX-License-Identifier: MIT
#include "TableExport.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "RecordSlices.h"
#include "SiUnits.h"

namespace dmm {

namespace {

// About 64 KB of text per block.
constexpr int kBlockBytes = 64 * 1024;

bool needsQuotes(std::string_view text, char separator)
{
    for (const char c : text)
        if (c == separator || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

char* writeField(char* out, std::string_view text, char separator)
{
    if (!needsQuotes(text, separator))
        return std::copy(text.begin(), text.end(), out);
    *out++ = '"';
    for (const char c : text) {
        if (c == '"')
            *out++ = '"';
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

} // namespace

std::optional<char> tableSeparator(const QString& text)
{
    if (text == QStringLiteral("tab") || text == QStringLiteral("\\t"))
        return '\t';
    if (text.size() != 1 || text[0].unicode() > 0x7E)
        return std::nullopt;
    const char c = text[0].toLatin1();
    if (std::isalnum(static_cast<unsigned char>(c)) || (c < ' ' && c != '\t') ||
        std::string_view("+-.\"\r\n").find(c) != std::string_view::npos)
        return std::nullopt;
    return c;
}

TableFormat tableFormatFor(const QLocale& locale)
{
    if (locale.decimalPoint() == QStringLiteral(","))
        return {';', true};
    return {',', false};
}

std::string tableHeader(const TableFormat& format)
{
    std::string header;
    for (const char* name : {"time", "value", "unit", "display", "subdisplay"}) {
        if (!header.empty())
            header += format.separator;
        header += name;
    }
    return header + '\n';
}

std::string utcIsoText(std::int64_t epochMs, bool milliseconds)
{
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(epochMs, QTimeZone::utc());
    return isoText(utc.date(), utc.time().msecsSinceStartOfDay(), milliseconds) + 'Z';
}

std::string tableTime(const RecordMoment& moment, bool utc)
{
    if (!utc)
        return isoText(moment.date, moment.ms, moment.stamped);
    // A local time without a stamp is taken as the zone's rules had it that day.
    const std::int64_t epochMs =
        moment.stamped ? moment.stamp
                       : QDateTime(moment.date, QTime::fromMSecsSinceStartOfDay(moment.ms))
                             .toMSecsSinceEpoch();
    return utcIsoText(epochMs, moment.stamped);
}

bool isOverload(const TARecord& record)
{
    return record.value.view().find('L') != std::string_view::npos;
}

namespace {

// A field whose text was written straight at its place, [begin, end), quoted
// there where it needs it: most fields never do, and are never copied.
char* quoteInPlace(char* begin, char* end, char separator)
{
    const std::string_view text(begin, std::size_t(end - begin));
    if (!needsQuotes(text, separator))
        return end;
    char copy[kMaxTableRow];
    std::memcpy(copy, begin, text.size());
    return writeField(begin, std::string_view(copy, text.size()), separator);
}

// The row after its time: value, unit, display, subdisplay and the line end.
char* writeRowAfterTime(char* out, const TARecord& record, const TableFormat& format)
{
    const char s = format.separator;
    const SiUnit unit = siUnit(record.function);
    *out++ = s;
    char* value = out;
    if (!isOverload(record)) {
        out = writeSiValueText(value, record.fValue, unit.decimalShift);
        if (format.decimalComma)
            std::replace(value, out, '.', ',');
        out = quoteInPlace(value, out, s);
    }
    *out++ = s;
    out = writeField(out, unit.symbol, s);
    *out++ = s;
    // The value text and its prefix.
    char* display = out;
    out = std::copy(record.value.view().begin(), record.value.view().end(), out);
    out = std::copy(record.prefix.view().begin(), record.prefix.view().end(), out);
    out = quoteInPlace(display, out, s);
    *out++ = s;
    out = writeField(out, record.subDisplay.view(), s);
    *out++ = '\n';
    return out;
}

} // namespace

char* writeTableRow(char* out, std::string_view time, const TARecord& record,
                    const TableFormat& format)
{
    return writeRowAfterTime(writeField(out, time, format.separator), record, format);
}

std::string tableRow(std::string_view time, const TARecord& record, const TableFormat& format)
{
    char row[kMaxTableRow];
    return std::string(row, writeTableRow(row, time, record, format));
}

TableProducer::TableProducer(TableFormat format, QDate firstRecordDate, RecordSource records)
    : m_format(format), m_dates(firstRecordDate), m_records(std::move(records))
{
}

bool TableProducer::nextBlock(QByteArray& block)
{
    // Rows are written into one kept text, each straight at its place.
    m_text.resize(std::size_t(kBlockBytes + kMaxTableRow));
    char* const begin = m_text.data();
    char* p = begin;
    if (!m_headerWritten) {
        const std::string header = tableHeader(m_format);
        p = std::copy(header.begin(), header.end(), p);
        m_headerWritten = true;
    }
    std::string utc;
    while (p - begin < kBlockBytes) {
        const TARecord* record = m_records();
        if (!record)
            break;
        // The time written straight at its place.
        char* timeEnd = p;
        if (const auto moment = m_dates.nextMoment(*record); moment && m_format.utc) {
            utc = tableTime(*moment, true);
            timeEnd = std::copy(utc.begin(), utc.end(), p);
        } else if (moment) {
            timeEnd = m_isoText.write(p, moment->date, moment->ms, moment->stamped);
        }
        p = writeRowAfterTime(quoteInPlace(p, timeEnd, m_format.separator), *record, m_format);
        ++m_rows;
    }
    block.append(begin, qsizetype(p - begin));
    return p != begin;
}

RecordSource bufferRecords(const RecordBuffer& buffer)
{
    return [&buffer, index = std::size_t(0)]() mutable -> const TARecord* {
        return index < buffer.size() ? &buffer.at(index++) : nullptr;
    };
}

RecordSource snapshotRecords(RecordBuffer::Snapshot records)
{
    return [records = std::move(records), index = std::size_t(0)]() mutable -> const TARecord* {
        return index < records.size() ? &records.at(index++) : nullptr;
    };
}

RecordSource fileRecords(RecordFileReader& reader)
{
    // A small buffer refilled slice by slice: the file is never held whole.
    auto slices = std::make_shared<RecordSlices>(reader);
    return [slices, slice = std::span<const TARecord>()]() mutable -> const TARecord* {
        if (slice.empty()) {
            slice = slices->next();
            if (slice.empty())
                return nullptr;
        }
        const TARecord* record = slice.data();
        slice = slice.subspan(1);
        return record;
    };
}

} // namespace dmm
