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

// A field quoted, its quotes doubled.
char* writeQuoted(char* out, std::string_view text)
{
    *out++ = '"';
    for (const char c : text) {
        if (c == '"')
            *out++ = '"';
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

char* writeField(char* out, std::string_view text, char separator)
{
    if (!needsQuotes(text, separator))
        return std::copy(text.begin(), text.end(), out);
    return writeQuoted(out, text);
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

namespace {

constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kQuarterHourMs = 900'000;
constexpr qint64 kEpochJulianDay = 2'440'588; // 1970-01-01

std::int64_t floorDivide(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

} // namespace

std::pair<QDate, int> utcDay(std::int64_t epochMs)
{
    const std::int64_t days = floorDivide(epochMs, kDayMs);
    return {QDate::fromJulianDay(kEpochJulianDay + days), int(epochMs - days * kDayMs)};
}

std::string utcIsoText(std::int64_t epochMs, bool milliseconds)
{
    const auto [date, ms] = utcDay(epochMs);
    return isoText(date, ms, milliseconds) + 'Z';
}

std::int64_t UtcMoments::of(const RecordMoment& moment)
{
    if (moment.stamped)
        return moment.stamp;
    // A local time without a stamp is taken as the zone's rules had it that day.
    const auto localMs = [](QDate date, int ms) {
        return (date.toJulianDay() - kEpochJulianDay) * kDayMs + ms;
    };
    if (!moment.date.isValid())
        return QDateTime(moment.date, QTime::fromMSecsSinceStartOfDay(moment.ms))
            .toMSecsSinceEpoch();
    const std::int64_t quarter = floorDivide(localMs(moment.date, moment.ms), kQuarterHourMs);
    if (m_quarter != quarter) {
        m_quarter = quarter;
        const int start = moment.ms - int(moment.ms % kQuarterHourMs);
        m_offsetMs =
            localMs(moment.date, start) -
            QDateTime(moment.date, QTime::fromMSecsSinceStartOfDay(start)).toMSecsSinceEpoch();
    }
    return localMs(moment.date, moment.ms) - m_offsetMs;
}

bool isOverload(const TARecord& record)
{
    return record.value.view().find('L') != std::string_view::npos;
}

namespace {

// A field written straight at its place, [begin, end), quoted there when
// it needs it: most fields never do, and are never copied.
char* quoteInPlace(char* begin, char* end, bool needed)
{
    if (!needed)
        return end;
    const std::size_t size = std::size_t(end - begin);
    char copy[kMaxTableRow];
    std::memcpy(copy, begin, size);
    return writeQuoted(begin, std::string_view(copy, size));
}

// This program's own texts never hold a quote or a line end, and of the
// characters a separator may be (tableSeparator) a time holds only ':' and a
// value only the decimal comma: whether either can need quotes is decided
// once per table: only where one can is the field looked at.
struct OwnTextQuotes
{
    bool time;
    bool value;
};

OwnTextQuotes ownTextQuotes(const TableFormat& format)
{
    return {format.separator == ':', format.decimalComma && format.separator == ','};
}

char* quoteOwnTextInPlace(char* begin, char* end, bool mayHoldSeparator, char separator)
{
    return quoteInPlace(begin, end,
                        mayHoldSeparator &&
                            std::memchr(begin, separator, std::size_t(end - begin)) != nullptr);
}

// A display text written at [begin, end) with the table's decimal mark, so
// that a spreadsheet reading the table's numbers reads the meter's "-2.400"
// as -2.4 and never as -2400 (a comma locale's thousands); quoted where it
// holds the separator.
char* writeDisplayMark(char* begin, char* end, const TableFormat& format)
{
    if (format.decimalComma)
        std::replace(begin, end, '.', ',');
    return quoteInPlace(begin, end,
                        needsQuotes({begin, std::size_t(end - begin)}, format.separator));
}

// The cells after the row's time: value, unit, display and subdisplay.
char* writeCells(char* out, const TARecord& record, const TableFormat& format, OwnTextQuotes quotes)
{
    const char s = format.separator;
    const SiUnit unit = siUnit(record.function);
    *out++ = s;
    char* value = out;
    if (!isOverload(record)) {
        out = writeSiValueText(value, record.fValue, unit.decimalShift);
        if (format.decimalComma)
            std::replace(value, out, '.', ',');
        out = quoteOwnTextInPlace(value, out, quotes.value, s);
    }
    *out++ = s;
    for (const char c : unit.symbol) // a unit holds no separator a table may have
        *out++ = c;
    *out++ = s;
    // The value text and its prefix, each field copied whole (a fixed size
    // copies fastest; the row has room) and the end set after its text.
    char* display = out;
    std::memcpy(out, record.value.chars().data(), record.value.chars().size());
    out += record.value.view().size();
    std::memcpy(out, record.prefix.chars().data(), record.prefix.chars().size());
    out += record.prefix.view().size();
    out = writeDisplayMark(display, out, format);
    *out++ = s;
    char* subDisplay = out;
    const std::string_view subText = record.subDisplay.view();
    out = std::copy(subText.begin(), subText.end(), out);
    out = writeDisplayMark(subDisplay, out, format);
    return out;
}

} // namespace

char* writeReadingCells(char* out, const TARecord& record, const TableFormat& format)
{
    return writeCells(out, record, format, ownTextQuotes(format));
}

char* writeTableField(char* out, std::string_view text, char separator)
{
    return writeField(out, text, separator);
}

namespace {

// The row after its time: value, unit, display, subdisplay and the line end.
char* writeRowAfterTime(char* out, const TARecord& record, const TableFormat& format,
                        OwnTextQuotes quotes)
{
    out = writeCells(out, record, format, quotes);
    *out++ = '\n';
    return out;
}

} // namespace

char* writeTableRow(char* out, std::string_view time, const TARecord& record,
                    const TableFormat& format)
{
    return writeRowAfterTime(writeField(out, time, format.separator), record, format,
                             ownTextQuotes(format));
}

std::string tableRow(std::string_view time, const TARecord& record, const TableFormat& format)
{
    char row[kMaxTableRow];
    return std::string(row, writeTableRow(row, time, record, format));
}

TableProducer::TableProducer(TableFormat format, QDate firstRecordDate, RecordRuns& records)
    : m_format(format), m_dates(firstRecordDate), m_records(records)
{
}

bool TableProducer::nextBlock(QByteArray& block)
{
    // Rows are written straight into the block, each at its place: room for
    // the rows first, cut back to them at the end.
    const qsizetype start = block.size();
    block.resize(start + kBlockBytes + kMaxTableRow);
    char* const begin = block.data() + start;
    char* p = begin;
    if (!m_headerWritten) {
        const std::string header = tableHeader(m_format);
        p = std::copy(header.begin(), header.end(), p);
        m_headerWritten = true;
    }
    const OwnTextQuotes quotes = ownTextQuotes(m_format);
    while (p - begin < kBlockBytes) {
        const TARecord* record = m_records.nextRecord();
        if (!record)
            break;
        // The time written straight at its place.
        char* timeEnd = p;
        if (const auto moment = m_dates.nextMoment(*record); moment && m_format.utc) {
            const auto [date, ms] = utcDay(m_utc.of(*moment));
            timeEnd = m_isoText.write(p, date, ms, moment->stamped);
            *timeEnd++ = 'Z';
        } else if (moment) {
            timeEnd = m_isoText.write(p, moment->date, moment->ms, moment->stamped);
        }
        p = writeRowAfterTime(quoteOwnTextInPlace(p, timeEnd, quotes.time, m_format.separator),
                              *record, m_format, quotes);
        ++m_rows;
    }
    block.resize(start + qsizetype(p - begin));
    return p != begin;
}

namespace {

// The next field of a row, without its quotes, and the row after it. The
// fields read here (time, value) are this program's own texts, which hold no
// quote of their own.
std::string_view nextField(std::string_view& row, char separator)
{
    std::string_view field;
    if (!row.empty() && row.front() == '"') {
        const std::size_t close = row.find('"', 1);
        field = row.substr(1, close == std::string_view::npos ? row.npos : close - 1);
        row.remove_prefix(std::min(row.size(), close == row.npos ? row.size() : close + 1));
    } else {
        const std::size_t end = std::min(row.find(separator), row.size());
        field = row.substr(0, end);
        row.remove_prefix(end);
    }
    if (!row.empty() && row.front() == separator)
        row.remove_prefix(1);
    return field;
}

} // namespace

TableRowForm tableRowForm(std::string_view tail, bool fromLineStart, char separator)
{
    TableRowForm form;
    // Whole rows only; a cut first line is none.
    tail = tail.substr(0, tail.rfind('\n') + 1);
    if (!fromLineStart)
        tail.remove_prefix(std::min(tail.size(), tail.find('\n') + 1));
    while (!tail.empty() && !(form.decimalComma && form.utc)) {
        tail.remove_suffix(1);                          // the row's '\n'
        const std::size_t start = tail.rfind('\n') + 1; // 0 where none
        std::string_view row = tail.substr(start);
        tail = tail.substr(0, start);
        const std::string_view time = nextField(row, separator);
        const std::string_view value = nextField(row, separator);
        // A time starts with the year's digits; the header's "time" does not.
        if (!form.utc && !time.empty() && time.front() >= '0' && time.front() <= '9')
            form.utc = time.back() == 'Z';
        if (!form.decimalComma && value.find_first_of(".,") != value.npos)
            form.decimalComma = value.find(',') != value.npos;
    }
    return form;
}

} // namespace dmm
