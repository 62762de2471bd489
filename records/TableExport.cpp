// SPDX-License-Identifier: MIT
#include "TableExport.h"

#include <QDateTime>
#include <QTimeZone>

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

void appendField(std::string& line, std::string_view text, char separator)
{
    if (!needsQuotes(text, separator)) {
        line += text;
        return;
    }
    line += '"';
    for (const char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
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

void appendTableRow(std::string& line, std::string_view time, const TARecord& record,
                    const TableFormat& format)
{
    const SiUnit unit = siUnit(record.function);
    std::string value = isOverload(record) ? std::string() : siValueText(record.fValue, unit.decimalShift);
    if (format.decimalComma)
        for (char& c : value)
            if (c == '.')
                c = ',';
    const char s = format.separator;
    appendField(line, time, s);
    line += s;
    appendField(line, value, s);
    line += s;
    appendField(line, unit.symbol, s);
    line += s;
    // The value text and its prefix, without a string of their own.
    char display[32];
    const std::string_view valueText = record.value.view();
    const std::string_view prefix = record.prefix.view();
    std::memcpy(display, valueText.data(), valueText.size());
    std::memcpy(display + valueText.size(), prefix.data(), prefix.size());
    appendField(line, std::string_view(display, valueText.size() + prefix.size()), s);
    line += s;
    appendField(line, record.subDisplay.view(), s);
    line += '\n';
}

std::string tableRow(const std::string& time, const TARecord& record, const TableFormat& format)
{
    std::string line;
    line.reserve(64);
    appendTableRow(line, time, record, format);
    return line;
}

TableProducer::TableProducer(TableFormat format, QDate firstRecordDate, RecordSource records)
    : m_format(format), m_dates(firstRecordDate), m_records(std::move(records))
{
}

bool TableProducer::nextBlock(QByteArray& block)
{
    // Rows go into one kept text: no string is made per row.
    std::string& text = m_text;
    text.clear();
    if (!m_headerWritten) {
        text = tableHeader(m_format);
        m_headerWritten = true;
    }
    char local[kMaxIsoText];
    std::string utc;
    while (text.size() < std::size_t(kBlockBytes)) {
        const TARecord* record = m_records();
        if (!record)
            break;
        const auto moment = m_dates.nextMoment(*record);
        std::string_view time;
        if (moment && m_format.utc) {
            utc = tableTime(*moment, true);
            time = utc;
        } else if (moment) {
            time = std::string_view(
                local, std::size_t(writeIsoText(local, moment->date, moment->ms, moment->stamped) -
                                   local));
        }
        appendTableRow(text, time, *record, m_format);
        ++m_rows;
    }
    block.append(text.data(), qsizetype(text.size()));
    return !text.empty();
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
