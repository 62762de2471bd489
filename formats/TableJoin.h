// SPDX-License-Identifier: MIT
// Several recordings joined by time into the table of several meters
// (MeterTable.h), read side by side a run at a time, never whole: the
// earliest record not yet written opens a row, and every other recording's
// next record within half a poll (250 ms) of it joins that row. Each record
// is in exactly one row; a recording that ended leaves its cells empty.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "MeterTable.h"
#include "PowerIntegral.h"
#include "RecordDates.h"
#include "RecordRuns.h"
#include "TableExport.h"

namespace dmm {

// Records this close to a row's first share the row: half of a 500 ms poll.
inline constexpr std::int64_t kJoinWindowMs = 250;

struct JoinInput
{
    RecordRuns* records;
    QDate firstRecordDate; // as for RecordDates
};

class JoinedRows
{
public:
    // `power`: the indices of the volt and the ampere recording.
    JoinedRows(std::vector<JoinInput> inputs, std::optional<std::pair<int, int>> power);

    // The next row; false after the last.
    bool next();

    // The row's cells, null where a recording has no record in it.
    std::span<const TARecord* const> cells() const { return m_cellPointers; }
    // The time of the row's first record; none where its time text is no time.
    const std::optional<RecordMoment>& moment() const { return m_moment; }
    // The same as ms since the epoch, for UTC times.
    std::int64_t epochMs() const { return m_epochMs; }
    const PowerRow* power() const { return m_power ? &m_powerRow : nullptr; }

    qint64 rows() const { return m_rows; }
    // Some record's date was inferred rather than read from its stamp.
    bool datesInferred() const;

private:
    struct Input
    {
        RecordRuns* records;
        RecordDates dates;
        UtcMoments utc;
        std::optional<TARecord> head;
        std::optional<RecordMoment> headMoment;
        std::int64_t headMs = 0;
        std::int64_t lastMs = INT64_MIN / 2; // of the record before, for one without a time
    };
    void advance(Input& input);

    std::vector<Input> m_inputs;
    std::vector<TARecord> m_cells;
    std::vector<const TARecord*> m_cellPointers;
    std::optional<RecordMoment> m_moment;
    std::int64_t m_epochMs = 0;
    std::optional<std::pair<int, int>> m_powerPair;
    std::optional<PowerIntegral> m_power;
    PowerInputs m_volts{MeterFunction::DcVolts};
    PowerInputs m_amperes{MeterFunction::DcAmperes};
    PowerRow m_powerRow;
    qint64 m_rows = 0;
};

// The joined table as text, a block of rows at a time for writeOutput: the
// header, then one row per JoinedRows row.
class JoinedTableProducer
{
public:
    JoinedTableProducer(TableFormat format, QStringList names, JoinedRows& rows);
    bool nextBlock(QByteArray& block);

private:
    TableFormat m_format;
    QStringList m_names;
    JoinedRows& m_rows;
    IsoTextWriter m_isoText;
    bool m_headerWritten = false;
    std::string m_text;
};

// The time cell's text of a row: ISO local time (milliseconds where
// stamped, tenths where inferred) or UTC with a "Z"; empty for no time.
char* writeRowTime(char* out, IsoTextWriter& writer, const std::optional<RecordMoment>& moment,
                   std::int64_t epochMs, bool utc);

} // namespace dmm
