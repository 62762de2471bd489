// SPDX-License-Identifier: MIT
#include "XlsxStats.h"

#include <cerrno>
#include <string>
#include <vector>

#include <xlsxwriter.h>

#include "AtomicFile.h"
#include "FileChecks.h"
#include "SiUnits.h"
#include "XlsxBook.h"
#include "XlsxTable.h"

namespace dmm {

namespace {

const char* const kColumns[] = {"start",     "end",    "function", "unit", "count",
                                "overloads", "min",    "min time", "max",  "max time",
                                "mean",      "stddev", "first",    "last"};
// The time columns, by index in kColumns.
bool isTimeColumn(int c)
{
    return c == 0 || c == 1 || c == 7 || c == 9;
}

// Days since Excel's day 0 (1899-12-30), of ms since 1970-01-01 on a clock.
double excelTime(StatsTime time)
{
    return 25569.0 + double(time.ms) / 86'400'000.0;
}

class StatsWorkbook
{
public:
    StatsWorkbook(const QByteArray& path, bool utc, bool fileColumn)
        : m_book(path), m_utc(utc), m_fileColumn(fileColumn)
    {
    }

    std::optional<QString> failure() const { return m_book.failure(); }

    void add(std::string_view file, const StatsInterval& interval)
    {
        for (const FunctionStats& f : interval.functions) {
            if (!m_sheet || m_row > kXlsxSheetRows)
                nextSheet();
            if (!m_sheet)
                return;
            const lxw_row_t row = lxw_row_t(m_row++);
            lxw_col_t c = 0;
            if (m_fileColumn)
                text(row, c++, std::string(file));
            time(row, c++, interval.start);
            time(row, c++, interval.end);
            text(row, c++, f.name);
            text(row, c++, std::string(siUnit(f.function).symbol));
            number(row, c++, double(f.count));
            number(row, c++, double(f.overloads));
            const bool values = f.count > 0;
            const auto optionalNumber = [&](double v) {
                if (values)
                    number(row, c, v);
                ++c;
            };
            const auto optionalTime = [&](StatsTime t) {
                if (values)
                    time(row, c, t);
                ++c;
            };
            optionalNumber(f.min);
            optionalTime(f.minTime);
            optionalNumber(f.max);
            optionalTime(f.maxTime);
            optionalNumber(f.mean);
            if (const auto deviation = f.stddev())
                number(row, c, *deviation);
            ++c;
            optionalNumber(f.first);
            optionalNumber(f.last);
        }
    }

    std::optional<QString> close()
    {
        if (!m_sheet)
            nextSheet();
        return m_book.close();
    }

private:
    void check(lxw_error error) { m_book.check(error); }
    void text(lxw_row_t row, lxw_col_t column, const std::string& value)
    {
        if (!value.empty())
            check(worksheet_write_string(m_sheet, row, column, value.c_str(), nullptr));
    }
    void number(lxw_row_t row, lxw_col_t column, double value)
    {
        check(worksheet_write_number(m_sheet, row, column, value, nullptr));
    }
    void time(lxw_row_t row, lxw_col_t column, StatsTime value)
    {
        check(worksheet_write_number(m_sheet, row, column, excelTime(value), m_book.timeFormat()));
    }
    void nextSheet()
    {
        const std::string name = m_sheets.empty()
                                     ? std::string("Statistics")
                                     : "Statistics " + std::to_string(m_sheets.size() + 1);
        m_sheet = m_book.addSheet(name.c_str());
        if (!m_sheet)
            return;
        m_sheets.push_back(m_sheet);
        lxw_col_t c = 0;
        if (m_fileColumn) {
            check(worksheet_set_column(m_sheet, c, c, 24, nullptr));
            check(worksheet_write_string(m_sheet, 0, c++, "file", m_book.header()));
        }
        for (int i = 0; i < 14; ++i, ++c) {
            const std::string head =
                std::string(kColumns[i]) + (m_utc && isTimeColumn(i) ? " (UTC)" : "");
            check(worksheet_set_column(m_sheet, c, c, isTimeColumn(i) ? 24 : 12, nullptr));
            check(worksheet_write_string(m_sheet, 0, c, head.c_str(), m_book.header()));
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        m_row = 1;
    }

    XlsxBook m_book;
    bool m_utc;
    bool m_fileColumn;
    lxw_worksheet* m_sheet = nullptr;
    std::vector<lxw_worksheet*> m_sheets;
    std::size_t m_row = 0;
};

} // namespace

std::optional<QString> writeXlsxStats(const QString& path, bool utc, bool fileColumn,
                                      const StatsFeeder& feed, JobControl* job)
{
    return replaceFileAtomically(path, [&](const QString& temporary) -> std::optional<QString> {
        StatsWorkbook book(fileNameBytes(temporary), utc, fileColumn);
        if (const auto reason = book.failure())
            return reason;
        if (const auto reason =
                feed([&](std::string_view file, const StatsInterval& i) { book.add(file, i); }))
            return reason;
        if (job && job->cancel)
            return QStringLiteral("cancelled");
        if (const auto reason = book.failure())
            return reason;
        return book.close();
    });
}

} // namespace dmm
