// SPDX-License-Identifier: MIT
#include "TableExport.h"

#include <QDateTime>
#include <QTimeZone>

#include <cctype>
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

std::string tableRow(const std::string& time, const TARecord& record, const TableFormat& format)
{
    const SiUnit unit = siUnit(record.function);
    std::string value = isOverload(record) ? std::string() : siValueText(record.fValue, unit.decimalShift);
    if (format.decimalComma)
        for (char& c : value)
            if (c == '.')
                c = ',';
    const char s = format.separator;
    std::string line;
    line.reserve(64);
    appendField(line, time, s);
    line += s;
    appendField(line, value, s);
    line += s;
    appendField(line, unit.symbol, s);
    line += s;
    appendField(line, record.value.str() + record.prefix.str(), s);
    line += s;
    appendField(line, record.subDisplay.view(), s);
    line += '\n';
    return line;
}

TableProducer::TableProducer(TableFormat format, QDate firstRecordDate, RecordSource records)
    : m_format(format), m_dates(firstRecordDate), m_records(std::move(records))
{
}

bool TableProducer::nextBlock(QByteArray& block)
{
    std::string text;
    if (!m_headerWritten) {
        text = tableHeader(m_format);
        m_headerWritten = true;
    }
    while (text.size() < std::size_t(kBlockBytes)) {
        const TARecord* record = m_records();
        if (!record)
            break;
        const auto moment = m_dates.nextMoment(*record);
        text += tableRow(moment ? tableTime(*moment, m_format.utc) : std::string(), *record,
                         m_format);
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
