// SPDX-License-Identifier: MIT
#include "XlsxTable.h"

#include <QDateTime>
#include <QTimeZone>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <xlsxwriter.h>

#include "AtomicFile.h"
#include "FileChecks.h"
#include "FunctionTexts.h"
#include "SiUnits.h"
#include "TableExport.h"
#include "TableJoin.h"
#include "XlsxBook.h"

namespace dmm {

namespace {

const char* const kColumns[] = {"time", "value", "unit", "display", "subdisplay"};
const char* const kUtcColumns[] = {"time (UTC)", "value", "unit", "display", "subdisplay"};
const double kWidths[] = {24, 12, 6, 10, 10};

// The function's name in the Summary: the digital meter's AC/DC word and the
// SI unit ("DC V", "AC A", "Ω"); "no unit" where it shows neither.
std::string summaryLabel(int function)
{
    const std::string name = functionName(function);
    return name.empty() ? "no unit" : name;
}

// Days since Excel's day 0 (1899-12-30), the time of day as its fraction.
double excelTime(QDate date, int msOfDay)
{
    return double(date.toJulianDay() - QDate(1899, 12, 30).toJulianDay()) +
           double(msOfDay) / 86'400'000.0;
}

// The record's time in the table's zone as an Excel date-time; none for a
// record whose time text is no time.
std::optional<double> cellTime(const std::optional<RecordMoment>& moment, UtcMoments* utc)
{
    if (!moment)
        return std::nullopt;
    if (!utc)
        return excelTime(moment->date, moment->ms);
    const auto [date, ms] = utcDay(utc->of(*moment));
    return excelTime(date, ms);
}

// What the Summary sheet says of one function: its values and its overloads
// counted apart, the values' mean and sample standard deviation (Welford's
// sums, exact enough over 10^7 readings), the first and the last time.
struct FunctionFigures
{
    std::string name;
    qint64 overloads = 0;
    qint64 values = 0;
    double min = 0, max = 0, mean = 0, m2 = 0;
    std::optional<double> first, last;

    // `value` none for an overload, or for a stored value that is no number
    // (counted with neither).
    void add(std::optional<double> value, bool overload, std::optional<double> time)
    {
        if (time) {
            if (!first)
                first = time;
            last = time;
        }
        overloads += overload ? 1 : 0;
        if (!value)
            return;
        const double v = *value;
        min = values == 0 ? v : std::min(min, v);
        max = values == 0 ? v : std::max(max, v);
        ++values;
        const double delta = v - mean;
        mean += delta / double(values);
        m2 += delta * (v - mean);
    }
};

class Workbook
{
public:
    // `path` as the system names it, byte for byte; the library's own
    // temporary files go beside it.
    Workbook(const QByteArray& path, bool utc, std::size_t rowsPerSheet)
        : m_book(path), m_utc(utc), m_rowsPerSheet(rowsPerSheet)
    {
    }

    // Why the workbook cannot be written; none while it can.
    std::optional<QString> failure() const { return m_book.failure(); }

    // With several meters: their names head the column groups, as in the
    // text table (MeterTable.h); `power` adds power, energy and charge.
    // Before the first row.
    void setMeters(const QStringList& names, bool power)
    {
        for (const QString& name : names)
            m_meters.push_back(name.toStdString());
        m_power = power;
    }
    void addRow(const TARecord& record, std::optional<double> time)
    {
        if (!m_sheet || m_row > m_rowsPerSheet)
            nextSheet();
        const lxw_row_t row = lxw_row_t(m_row++);
        if (time)
            check(worksheet_write_number(m_sheet, row, 0, *time, m_book.timeFormat()));
        addCells(row, 1, record, time, -1);
    }
    // A row of several meters' cells, null where a meter has none.
    void addJoinedRow(std::span<const TARecord* const> cells, std::optional<double> time,
                      const PowerRow* power)
    {
        if (!m_sheet || m_row > m_rowsPerSheet)
            nextSheet();
        const lxw_row_t row = lxw_row_t(m_row++);
        if (time)
            check(worksheet_write_number(m_sheet, row, 0, *time, m_book.timeFormat()));
        for (std::size_t i = 0; i < cells.size(); ++i)
            if (cells[i])
                addCells(row, lxw_col_t(1 + 4 * i), *cells[i], time, int(i));
        if (!power)
            return;
        const lxw_col_t column = lxw_col_t(1 + 4 * cells.size());
        if (power->watts)
            check(worksheet_write_number(m_sheet, row, column, *power->watts, nullptr));
        check(worksheet_write_number(m_sheet, row, column + 1, power->wattHours, nullptr));
        check(worksheet_write_number(m_sheet, row, column + 2, power->ampereHours, nullptr));
    }
    // One reading's value, unit, display and sub-display from `column` on;
    // counted in the Summary under its function (and meter, 0-based; -1: none).
    void addCells(lxw_row_t row, lxw_col_t column, const TARecord& record,
                  std::optional<double> time, int meter)
    {
        const SiUnit unit = siUnit(record.function);
        const bool overload = isOverload(record);
        std::optional<double> value;
        if (!overload) {
            // The number the CSV shows, read back as a double.
            char text[kMaxSiValueText];
            const char* end = writeSiValueText(text, record.fValue, unit.decimalShift);
            double number = 0;
            if (std::from_chars(text, end, number).ec == std::errc() && std::isfinite(number))
                value = number;
        }
        if (value)
            check(worksheet_write_number(m_sheet, row, column, *value, nullptr));
        writeText(row, column + 1, unit.symbol);
        // The value text and its prefix.
        char display[32];
        const std::string_view valueText = record.value.view();
        const std::string_view prefix = record.prefix.view();
        std::memcpy(display, valueText.data(), valueText.size());
        std::memcpy(display + valueText.size(), prefix.data(), prefix.size());
        writeText(row, column + 2, std::string_view(display, valueText.size() + prefix.size()));
        writeText(row, column + 3, record.subDisplay.view());
        figuresOf(record.function, meter).add(value, overload, time);
    }

    // Finishes the last table sheet, adds the summary and writes the file.
    std::optional<QString> close()
    {
        if (!m_sheet)
            nextSheet();
        finishSheet();
        writeSummary();
        return m_book.close();
    }

private:
    void check(lxw_error error) { m_book.check(error); }
    FunctionFigures& figuresOf(int function, int meter)
    {
        // Runs of one function: the last one found is asked first.
        if (m_lastFigures && function == m_lastFunction && meter == m_lastMeter)
            return *m_lastFigures;
        m_lastMeter = meter;
        // Per meter where there are several: "volts: DC V".
        const std::string name = (meter < 0 ? std::string() : m_meters[std::size_t(meter)] + ": ") +
                                 summaryLabel(function);
        auto figures = std::find_if(m_functions.begin(), m_functions.end(),
                                    [&](const FunctionFigures& f) { return f.name == name; });
        if (figures == m_functions.end()) {
            m_functions.emplace_back();
            m_functions.back().name = name;
            figures = m_functions.end() - 1;
        }
        m_lastFunction = function;
        m_lastFigures = &*figures;
        return *figures;
    }
    void writeText(lxw_row_t row, lxw_col_t column, std::string_view text)
    {
        if (text.empty())
            return;
        char terminated[64]; // the longest text, a display, has 24 bytes
        const std::size_t size = std::min(text.size(), sizeof terminated - 1);
        std::memcpy(terminated, text.data(), size);
        terminated[size] = '\0';
        check(worksheet_write_string(m_sheet, row, column, terminated, nullptr));
    }
    void finishSheet()
    {
        if (!m_sheet)
            return;
        check(worksheet_autofilter(m_sheet, 0, 0, lxw_row_t(m_row > 1 ? m_row - 1 : 1),
                                   lastColumn()));
    }
    void nextSheet()
    {
        finishSheet();
        const std::string name = m_sheets.empty() ? std::string("Table")
                                                  : "Table " + std::to_string(m_sheets.size() + 1);
        m_sheet = m_book.addSheet(name.c_str());
        if (!m_sheet)
            return;
        m_sheets.push_back(m_sheet);
        for (lxw_col_t c = 0; c <= lastColumn(); ++c) {
            check(worksheet_set_column(m_sheet, c, c, kWidths[c == 0 ? 0 : (c - 1) % 4 + 1],
                                       nullptr));
            check(worksheet_write_string(m_sheet, 0, c, columnName(c).c_str(), m_book.header()));
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        m_row = 1;
    }
    // A new sheet; none, with the reason kept, where the library cannot make
    // one (in constant-memory mode it makes a temporary file for its rows).
    lxw_col_t lastColumn() const
    {
        return m_meters.empty() ? 4 : lxw_col_t(4 * m_meters.size() + (m_power ? 3 : 0));
    }
    std::string columnName(lxw_col_t column) const
    {
        const char* const* names = m_utc ? kUtcColumns : kColumns;
        if (m_meters.empty() || column == 0)
            return names[column];
        const std::size_t meter = (column - 1) / 4;
        if (meter >= m_meters.size()) {
            const char* const power[] = {"power", "energy", "charge"};
            return power[column - 1 - 4 * m_meters.size()];
        }
        return m_meters[meter] + ' ' + names[(column - 1) % 4 + 1];
    }
    void writeSummary()
    {
        lxw_worksheet* sheet = m_book.addSheet("Summary");
        if (!sheet)
            return;
        m_sheets.push_back(sheet);
        const char* const head[] = {"function",
                                    "values",
                                    "overloads",
                                    "minimum",
                                    "maximum",
                                    "mean",
                                    "standard deviation",
                                    m_utc ? "first time (UTC)" : "first time",
                                    m_utc ? "last time (UTC)" : "last time"};
        for (lxw_col_t c = 0; c < 9; ++c) {
            check(worksheet_set_column(sheet, c, c, c >= 7 ? 24 : 12, nullptr));
            check(worksheet_write_string(sheet, 0, c, head[c], m_book.header()));
        }
        worksheet_freeze_panes(sheet, 1, 0);
        lxw_row_t row = 1;
        for (const FunctionFigures& f : m_functions) {
            check(worksheet_write_string(sheet, row, 0, f.name.c_str(), nullptr));
            check(worksheet_write_number(sheet, row, 1, double(f.values), nullptr));
            check(worksheet_write_number(sheet, row, 2, double(f.overloads), nullptr));
            if (f.values > 0) {
                check(worksheet_write_number(sheet, row, 3, f.min, nullptr));
                check(worksheet_write_number(sheet, row, 4, f.max, nullptr));
                check(worksheet_write_number(sheet, row, 5, f.mean, nullptr));
            }
            if (f.values > 1)
                check(worksheet_write_number(sheet, row, 6, std::sqrt(f.m2 / double(f.values - 1)),
                                             nullptr));
            if (f.first)
                check(worksheet_write_number(sheet, row, 7, *f.first, m_book.timeFormat()));
            if (f.last)
                check(worksheet_write_number(sheet, row, 8, *f.last, m_book.timeFormat()));
            ++row;
        }
    }

    XlsxBook m_book;
    bool m_utc;
    std::size_t m_rowsPerSheet;
    lxw_worksheet* m_sheet = nullptr;
    std::vector<lxw_worksheet*> m_sheets; // the table's, then the Summary
    std::size_t m_row = 0;                // the next row of the sheet, 0 the header
    // In the order the functions first come; runs of one function are usual.
    std::vector<FunctionFigures> m_functions;
    int m_lastFunction = 0;
    int m_lastMeter = -1;
    FunctionFigures* m_lastFigures = nullptr;
    std::vector<std::string> m_meters; // several meters' names; empty for one
    bool m_power = false;
};

// Whether the library wrote into the file named `name`: a workbook it
// wrote under another name (a name's bytes changed on the way) leaves it
// empty, and an empty file must not replace the target.
std::optional<QString> notWrittenReason(const QByteArray& name)
{
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) != 0)
        return systemReason(errno);
    if (st.st_size == 0)
        return QStringLiteral("the workbook did not reach its file");
    return std::nullopt;
}

} // namespace

bool isXlsxName(const QString& path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

std::optional<QString> writeXlsxTable(const QString& path, bool utc, QDate firstRecordDate,
                                      RecordRuns& records, JobControl* job, XlsxTableResult* result,
                                      std::size_t rowsPerSheet)
{
    return replaceFileAtomically(path, [&](const QString& temporary) -> std::optional<QString> {
        const QByteArray name = fileNameBytes(temporary);
        Workbook book(name, utc, rowsPerSheet);
        if (const auto reason = book.failure())
            return reason;
        RecordDates dates(firstRecordDate);
        UtcMoments moments;
        qint64 rows = 0;
        while (const TARecord* record = records.nextRecord()) {
            book.addRow(*record, cellTime(dates.nextMoment(*record), utc ? &moments : nullptr));
            ++rows;
            if (job && (rows & 1023) == 0)
                job->done = rows;
            if (job && job->cancel)
                return QStringLiteral("cancelled");
        }
        if (job && job->cancel)
            return QStringLiteral("cancelled");
        if (result)
            *result = {rows, dates.inferred()};
        if (const auto reason = book.close())
            return reason;
        // A signal may have asked to stop while the library wrote the file.
        if (job && job->cancel)
            return QStringLiteral("cancelled");
        return notWrittenReason(name);
    });
}

} // namespace dmm

namespace dmm {

std::optional<QString> writeXlsxJoinedTable(const QString& path, bool utc, const QStringList& names,
                                            JoinedRows& rows, JobControl* job,
                                            std::size_t rowsPerSheet)
{
    return replaceFileAtomically(path, [&](const QString& temporary) -> std::optional<QString> {
        const QByteArray name = fileNameBytes(temporary);
        Workbook book(name, utc, rowsPerSheet);
        if (const auto reason = book.failure())
            return reason;
        book.setMeters(names, rows.power() != nullptr);
        UtcMoments moments;
        while (rows.next()) {
            book.addJoinedRow(rows.cells(), cellTime(rows.moment(), utc ? &moments : nullptr),
                              rows.power());
            if (job && (rows.rows() & 1023) == 0)
                job->done = rows.rows();
            if (job && job->cancel)
                return QStringLiteral("cancelled");
        }
        if (job && job->cancel)
            return QStringLiteral("cancelled");
        if (const auto reason = book.close())
            return reason;
        if (job && job->cancel)
            return QStringLiteral("cancelled");
        return notWrittenReason(name);
    });
}

} // namespace dmm
