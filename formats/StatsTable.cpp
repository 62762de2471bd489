// SPDX-License-Identifier: MIT
#include "StatsTable.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "JsonLine.h"
#include "SiUnits.h"

namespace dmm {

namespace {

constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kQuarterHourMs = 900'000;
constexpr std::size_t kMostHeld = 16384;
constexpr qint64 kEpochJulianDay = 2'440'588; // 1970-01-01

std::int64_t floorDivide(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

const char* const kColumns[] = {"start",     "end",    "function", "unit", "count",
                                "overloads", "min",    "min time", "max",  "max time",
                                "mean",      "stddev", "first",    "last"};

// A field, quoted where it holds the separator, a quote or a line end.
void appendField(std::string& out, std::string_view text, char separator)
{
    if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// A number with the table's decimal mark.
void appendNumber(std::string& out, std::string text, const TableFormat& format)
{
    if (format.decimalComma)
        std::replace(text.begin(), text.end(), '.', ',');
    appendField(out, text, format.separator);
}

} // namespace

std::string statsTimeText(StatsTime time, bool utc)
{
    const std::int64_t days = floorDivide(time.ms, kDayMs);
    std::string text = isoText(QDate::fromJulianDay(kEpochJulianDay + days),
                               int(time.ms - days * kDayMs), time.exact);
    if (utc)
        text += 'Z';
    return text;
}

std::string statsFigureText(double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 10);
    return std::string(text, end.ptr);
}

std::string statsValueText(double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}

std::optional<double> siNumber(const TARecord& record)
{
    if (isOverload(record) || !std::isfinite(record.fValue))
        return std::nullopt;
    char text[kMaxSiValueText];
    const char* end = writeSiValueText(text, record.fValue, siUnit(record.function).decimalShift);
    double number = 0;
    if (std::from_chars(text, end, number).ec != std::errc() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::string statsHeader(const StatsRowForm& form)
{
    std::string header;
    const auto column = [&](const char* name) {
        if (!header.empty())
            header += form.format.separator;
        header += name;
    };
    if (form.fileColumn)
        column("file");
    for (const char* name : kColumns)
        column(name);
    if (form.partialColumn)
        column("partial");
    return header + '\n';
}

void appendStatsRows(std::string& out, const StatsInterval& interval, const StatsRowForm& form,
                     std::string_view file)
{
    const TableFormat& format = form.format;
    const char s = format.separator;
    const std::string start = statsTimeText(interval.start, format.utc);
    const std::string end = statsTimeText(interval.end, format.utc);
    for (const FunctionStats& f : interval.functions) {
        if (form.fileColumn) {
            appendField(out, file, s);
            out += s;
        }
        appendField(out, start, s);
        out += s;
        appendField(out, end, s);
        out += s;
        appendField(out, f.name, s);
        out += s;
        out += siUnit(f.function).symbol;
        out += s;
        out += std::to_string(f.count);
        out += s;
        out += std::to_string(f.overloads);
        const bool values = f.count > 0;
        const auto value = [&](double v) {
            out += s;
            if (values)
                appendNumber(out, statsValueText(v), format);
        };
        const auto time = [&](StatsTime t) {
            out += s;
            if (values)
                appendField(out, statsTimeText(t, format.utc), s);
        };
        value(f.min);
        time(f.minTime);
        value(f.max);
        time(f.maxTime);
        out += s;
        if (values)
            appendNumber(out, statsFigureText(f.mean), format);
        out += s;
        if (const auto deviation = f.stddev())
            appendNumber(out, statsFigureText(*deviation), format);
        value(f.first);
        value(f.last);
        if (form.partialColumn) {
            out += s;
            if (interval.partial)
                out += "partial";
        }
        out += '\n';
    }
}

namespace {

// A JSON number that every reader takes for a float: 375 would be an integer
// to some.
std::string jsonFloat(std::string text)
{
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

} // namespace

std::string statsRowJson(const StatsInterval& interval, const FunctionStats& f, bool utc)
{
    JsonLine line;
    line.add("start", statsTimeText(interval.start, utc))
        .add("end", statsTimeText(interval.end, utc))
        .addUtf8("function", f.name)
        .addUtf8("unit", siUnit(f.function).symbol)
        .add("count", f.count)
        .add("overloads", f.overloads);
    const bool values = f.count > 0;
    const auto number = [&](std::string_view key, std::optional<double> v, bool figure) {
        if (v)
            line.addNumber(key, jsonFloat(figure ? statsFigureText(*v) : statsValueText(*v)));
        else
            line.addNull(key);
    };
    const auto time = [&](std::string_view key, StatsTime t) {
        if (values)
            line.add(key, statsTimeText(t, utc));
        else
            line.addNull(key);
    };
    const auto valueIf = [&](double v) { return values ? std::optional<double>(v) : std::nullopt; };
    number("min", valueIf(f.min), false);
    time("minTime", f.minTime);
    number("max", valueIf(f.max), false);
    time("maxTime", f.maxTime);
    number("mean", valueIf(f.mean), true);
    number("stddev", f.stddev(), true);
    number("first", valueIf(f.first), false);
    number("last", valueIf(f.last), false);
    line.add("partial", interval.partial);
    return line.str();
}

RecordingStats::RecordingStats(std::optional<std::int64_t> lengthMs, bool utc,
                               QDate firstRecordDate, IntervalSplitter::Sink sink)
    : m_sink(std::move(sink)),
      m_splitter(lengthMs, [this](const StatsInterval& interval) { hold(interval); }), m_utc(utc),
      m_dates(firstRecordDate)
{
}

RecordingStats::RecordingStats(std::optional<std::int64_t> lengthMs, QDate walkFrom,
                               std::shared_future<QDate> firstRecordDate,
                               IntervalSplitter::Sink sink)
    : RecordingStats(lengthMs, false, walkFrom, std::move(sink))
{
    m_firstDate = std::move(firstRecordDate);
    m_datePending = true;
    m_walkFrom = walkFrom;
}

bool RecordingStats::deferrable(std::optional<std::int64_t> lengthMs, bool utc)
{
    return !utc && (!lengthMs || (*lengthMs > 0 && kDayMs % *lengthMs == 0));
}

void RecordingStats::hold(const StatsInterval& interval)
{
    if (m_datePending)
        m_held.push_back(interval);
    else
        m_sink(interval);
}

void RecordingStats::settleDate()
{
    if (!m_datePending)
        return;
    m_datePending = false;
    m_shiftMs = (m_firstDate.get().toJulianDay() - m_walkFrom.toJulianDay()) * kDayMs;
    for (StatsInterval& interval : m_held) {
        shiftTimes(interval, m_shiftMs);
        m_sink(interval);
    }
    m_held.clear();
    m_splitter.shift(m_shiftMs);
}

void RecordingStats::add(const TARecord& record)
{
    ++m_readings;
    StatsTime time;
    if (std::int64_t stamp = 0; m_stamps.find(record, stamp)) {
        if (!m_anchored) {
            settleDate();
            m_anchored = true;
        }
        m_lastStamped = record;
        time = {stamp, true};
        if (!m_utc) {
            const std::int64_t quarter = floorDivide(stamp, kQuarterHourMs);
            if (m_offsetQuarter != quarter) {
                m_offsetQuarter = quarter;
                m_offsetMs =
                    std::int64_t(
                        QDateTime::fromMSecsSinceEpoch(quarter * kQuarterHourMs).offsetFromUtc()) *
                    1000;
            }
            time.ms += m_offsetMs;
        }
    } else {
        // The walk goes on from the last stamped record's date and time.
        if (m_lastStamped) {
            m_dates.skip(*m_lastStamped);
            m_lastStamped.reset();
        }
        const auto moment = m_dates.nextMoment(record);
        if (!moment || !moment->date.isValid()) {
            ++m_untimed;
            return;
        }
        time = {0, false};
        if (m_utc)
            time.ms = m_moments.of(*moment);
        else
            time.ms = (moment->date.toJulianDay() - kEpochJulianDay) * kDayMs + moment->ms;
        if (!m_anchored)
            time.ms += m_shiftMs;
    }
    if (!m_functionKnown || record.function != m_function) {
        m_functionKnown = true;
        m_function = record.function;
        m_name = functionName(record.function);
    }
    const bool overload = isOverload(record);
    m_splitter.add(record.function, m_name, overload ? std::nullopt : m_numbers.of(record),
                   overload, time);
    // Intervals held back past a few thousand: their date is waited for.
    if (m_held.size() > kMostHeld)
        settleDate();
}

std::optional<double> RecordNumbers::of(const TARecord& record)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &record.fValue, sizeof bits);
    // Two places a value may be kept in; a new one replaces the one not
    // asked for last.
    const std::size_t pair = ((bits * 2654435761u) >> 26) * 2;
    for (std::size_t i = pair; i < pair + 2; ++i) {
        if (m_known[i].bits == bits && m_known[i].function == record.function) {
            m_known[pair].recent = i == pair;
            return m_known[i].number;
        }
    }
    Known& known = m_known[m_known[pair].recent ? pair + 1 : pair];
    known = {bits, record.function, siNumber(record)};
    m_known[pair].recent = &known == &m_known[pair];
    return known.number;
}

} // namespace dmm
