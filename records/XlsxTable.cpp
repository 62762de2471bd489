// SPDX-License-Identifier: MIT
#include "XlsxTable.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include <xlsxwriter.h>

#include "AtomicFile.h"
#include "SiUnits.h"
#include "TableExport.h"

namespace dmm {

namespace {

const char* const kColumns[] = {"time", "value", "unit", "display", "subdisplay"};
const double kWidths[] = {24, 12, 6, 10, 10};

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

// What the Summary sheet says of one unit: the readings' values (overloads
// counted apart), their mean and sample standard deviation (Welford's sums,
// exact enough over 10^7 readings), the first and the last time.
struct UnitFigures
{
    qint64 count = 0;
    qint64 overloads = 0;
    qint64 values = 0;
    double min = 0, max = 0, mean = 0, m2 = 0;
    std::optional<double> first, last;

    void add(std::optional<double> value, std::optional<double> time)
    {
        ++count;
        if (time) {
            if (!first)
                first = time;
            last = time;
        }
        if (!value) {
            ++overloads;
            return;
        }
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
    Workbook(const QString& path, const QString& tmpdir, std::size_t rowsPerSheet)
        : m_tmpdir(tmpdir.toLocal8Bit()), m_rowsPerSheet(rowsPerSheet)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_tmpdir.data();
        options.use_zip64 = LXW_TRUE;
        m_book = workbook_new_opt(path.toLocal8Bit().constData(), &options);
        if (!m_book)
            return;
        m_timeFormat = workbook_add_format(m_book);
        format_set_num_format(m_timeFormat, "yyyy-mm-dd hh:mm:ss.000");
        m_header = workbook_add_format(m_book);
        format_set_bold(m_header);
    }
    ~Workbook()
    {
        if (m_book) // not closed: freed with its temporary files, the output unfinished
            lxw_workbook_free(m_book);
    }

    bool ok() const { return m_book && m_error == LXW_NO_ERROR; }

    void addRow(const TARecord& record, std::optional<double> time)
    {
        if (!m_sheet || m_row > m_rowsPerSheet)
            nextSheet();
        const lxw_row_t row = lxw_row_t(m_row++);
        const SiUnit unit = siUnit(record.function);
        std::optional<double> value;
        if (!isOverload(record)) {
            // The number the CSV shows, read back as a double.
            char text[kMaxSiValueText];
            const char* end = writeSiValueText(text, record.fValue, unit.decimalShift);
            double number = 0;
            if (std::from_chars(text, end, number).ec == std::errc())
                value = number;
        }
        if (time)
            check(worksheet_write_number(m_sheet, row, 0, *time, m_timeFormat));
        if (value && std::isfinite(*value))
            check(worksheet_write_number(m_sheet, row, 1, *value, nullptr));
        writeText(row, 2, unit.symbol);
        // The value text and its prefix.
        char display[32];
        const std::string_view valueText = record.value.view();
        const std::string_view prefix = record.prefix.view();
        std::memcpy(display, valueText.data(), valueText.size());
        std::memcpy(display + valueText.size(), prefix.data(), prefix.size());
        writeText(row, 3, std::string_view(display, valueText.size() + prefix.size()));
        writeText(row, 4, record.subDisplay.view());
        auto figures = m_units.find(unit.symbol);
        if (figures == m_units.end())
            figures = m_units.emplace(std::string(unit.symbol), UnitFigures()).first;
        figures->second.add(value, time);
    }

    // Finishes the last table sheet, adds the summary and writes the file.
    std::optional<QString> close()
    {
        if (!m_sheet)
            nextSheet();
        finishSheet();
        writeSummary();
        const lxw_error closed = workbook_close(m_book);
        m_book = nullptr;
        if (m_error == LXW_NO_ERROR)
            m_error = closed;
        if (m_error != LXW_NO_ERROR)
            return QString::fromUtf8(lxw_strerror(m_error));
        return std::nullopt;
    }

private:
    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR && m_error == LXW_NO_ERROR)
            m_error = error;
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
        check(worksheet_autofilter(m_sheet, 0, 0, lxw_row_t(m_row > 1 ? m_row - 1 : 1), 4));
    }
    void nextSheet()
    {
        finishSheet();
        ++m_sheets;
        const std::string name =
            m_sheets == 1 ? std::string("Table") : "Table " + std::to_string(m_sheets);
        m_sheet = workbook_add_worksheet(m_book, name.c_str());
        if (!m_sheet) {
            check(LXW_ERROR_MEMORY_MALLOC_FAILED);
            return;
        }
        for (lxw_col_t c = 0; c < 5; ++c) {
            check(worksheet_set_column(m_sheet, c, c, kWidths[c], nullptr));
            check(worksheet_write_string(m_sheet, 0, c, kColumns[c], m_header));
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        m_row = 1;
    }
    void writeSummary()
    {
        lxw_worksheet* sheet = workbook_add_worksheet(m_book, "Summary");
        if (!sheet) {
            check(LXW_ERROR_MEMORY_MALLOC_FAILED);
            return;
        }
        const char* const head[] = {"unit",    "count", "overloads",          "minimum",
                                    "maximum", "mean",  "standard deviation", "first time",
                                    "last time"};
        for (lxw_col_t c = 0; c < 9; ++c) {
            check(worksheet_set_column(sheet, c, c, c >= 7 ? 24 : 12, nullptr));
            check(worksheet_write_string(sheet, 0, c, head[c], m_header));
        }
        worksheet_freeze_panes(sheet, 1, 0);
        lxw_row_t row = 1;
        for (const auto& [unit, f] : m_units) {
            if (!unit.empty())
                check(worksheet_write_string(sheet, row, 0, unit.c_str(), nullptr));
            check(worksheet_write_number(sheet, row, 1, double(f.count), nullptr));
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
                check(worksheet_write_number(sheet, row, 7, *f.first, m_timeFormat));
            if (f.last)
                check(worksheet_write_number(sheet, row, 8, *f.last, m_timeFormat));
            ++row;
        }
    }

    QByteArray m_tmpdir;
    std::size_t m_rowsPerSheet;
    lxw_workbook* m_book = nullptr;
    lxw_format* m_timeFormat = nullptr;
    lxw_format* m_header = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    std::size_t m_row = 0; // the next row of the sheet, 0 the header
    int m_sheets = 0;
    lxw_error m_error = LXW_NO_ERROR;
    std::map<std::string, UnitFigures, std::less<>> m_units;
};

} // namespace

bool isXlsxName(const QString& path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

std::optional<QString> writeXlsxTable(const QString& path, bool utc, QDate firstRecordDate,
                                      const RecordSource& records, JobControl* job,
                                      XlsxTableResult* result, std::size_t rowsPerSheet)
{
    const QString folder = QFileInfo(path).absolutePath();
    return replaceFileAtomically(path, [&](const QString& temporary) -> std::optional<QString> {
        Workbook book(temporary, folder, rowsPerSheet);
        if (!book.ok())
            return QStringLiteral("the workbook cannot be made");
        RecordDates dates(firstRecordDate);
        UtcMoments moments;
        qint64 rows = 0;
        while (const TARecord* record = records()) {
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
        return book.close();
    });
}

} // namespace dmm
