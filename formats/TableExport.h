// SPDX-License-Identifier: MIT
// The table every tool and the recorder write for spreadsheets and scripts:
//   time,value,unit,display,subdisplay
// with a header line, LF line ends, UTF-8. time is the local date and time
// (RecordDates.h), value the reading in SI base units in its shortest exact
// form, unit the SI symbol (SiUnits.h), display the meter's value text with
// its prefix ("23.99n"), subdisplay the sub-display text as stored. Both
// display texts write the meter's point as the table's decimal mark
// ("-2,400" in a decimal-comma table): a spreadsheet that reads the values
// right then reads them as the number the meter showed, never -2400. An
// overload has an empty value: its stored value is a stand-in past the range
// (9900 for OL on ohms), no reading; display keeps the meter's text ("O.LK").
#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>
#include <string>
#include <utility>

#include "RecordBuffer.h"
#include "RecordDates.h"

namespace dmm {

class RecordFileReader;

struct TableFormat
{
    char separator = ',';
    // The value written with a decimal comma, for spreadsheets in comma locales.
    bool decimalComma = false;
    // Times in UTC with a "Z" ("2026-12-07T22:59:59.912Z"); else local, no zone.
    bool utc = false;
};

// The separator an option names: one character other than a digit, a sign,
// '.', '"', a letter or a line end; or "tab". None for anything else.
std::optional<char> tableSeparator(const QString& text);

// Where numbers are written 1,5 the table uses a decimal comma and ';'
// between fields, as spreadsheets there expect; elsewhere '.' and ','.
TableFormat tableFormatFor(const QLocale& locale);

// Whether the record logs an overload: its value text, a copy of the display
// text where that is no number, shows an "L" ("OL", "-O.L"), the rule that
// gave it the stand-in value (RecordValue.h).
bool isOverload(const TARecord& record);

// ISO 8601 UTC time of `epochMs` with a "Z": milliseconds, or tenths as an
// inferred date's time text has them ("2026-12-07T22:59:59.9Z").
std::string utcIsoText(std::int64_t epochMs, bool milliseconds);
// The UTC date and time of day (ms) of `epochMs`.
std::pair<QDate, int> utcDay(std::int64_t epochMs);

// The moments of records in order as ms since the epoch: a stamp as it is, a
// local time less its zone's offset that day. The offset is looked up once
// per quarter hour of local time, as zones change it only on such bounds:
// looking it up costs far more than writing a row.
class UtcMoments
{
public:
    std::int64_t of(const RecordMoment& moment);

private:
    std::optional<std::int64_t> m_quarter; // the local quarter hour m_offsetMs is of
    std::int64_t m_offsetMs = 0;
};

// What the rows at the end of a table show of the form they were written in,
// so that rows of another form are not added to it: whether the values have
// a decimal comma, whether the times are UTC ("...Z"). Read from the last
// whole row back, each as far as it takes to find a row that shows it; none
// where no row does (no row, or values without a decimal mark). `tail` is the
// table's end; its first line is taken as a row only when `fromLineStart`.
struct TableRowForm
{
    std::optional<bool> decimalComma;
    std::optional<bool> utc;
};
TableRowForm tableRowForm(std::string_view tail, bool fromLineStart, char separator);

// "time,value,unit,display,subdisplay\n" with the format's separator.
std::string tableHeader(const TableFormat& format);
// One row ending in '\n'; `time` is the ISO text of the record's time.
std::string tableRow(std::string_view time, const TARecord& record, const TableFormat& format);
// The same row written at `out`, which has room for kMaxTableRow characters
// (every field quoted, each quote doubled); returns its end.
inline constexpr int kMaxTableRow = 320;
char* writeTableRow(char* out, std::string_view time, const TARecord& record,
                    const TableFormat& format);
// The row's cells after the time, each after a separator: value, unit,
// display, subdisplay; no line end. For tables with several meters' cells.
char* writeReadingCells(char* out, const TARecord& record, const TableFormat& format);
// One field, quoted where it holds the separator, a quote or a line end.
char* writeTableField(char* out, std::string_view text, char separator);

// The table of `records`, a block of rows at a time for writeFileAtomically:
// the header, then one row per record.
class TableProducer
{
public:
    TableProducer(TableFormat format, QDate firstRecordDate, RecordRuns& records);

    // Fills `block` with the next rows; false when every row was produced.
    bool nextBlock(QByteArray& block);

    qint64 rows() const { return m_rows; }
    // Some record's date was inferred rather than read from its stamp.
    bool datesInferred() const { return m_dates.inferred(); }

private:
    TableFormat m_format;
    RecordDates m_dates;
    IsoTextWriter m_isoText;
    UtcMoments m_utc;
    RecordRuns& m_records;
    bool m_headerWritten = false;
    qint64 m_rows = 0;
};

} // namespace dmm
