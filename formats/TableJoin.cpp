// SPDX-License-Identifier: MIT
#include "TableJoin.h"

#include <algorithm>

namespace dmm {

namespace {

constexpr int kBlockBytes = 64 * 1024;

} // namespace

JoinedRows::JoinedRows(std::vector<JoinInput> inputs, std::optional<std::pair<int, int>> power)
    : m_powerPair(power)
{
    m_inputs.reserve(inputs.size());
    for (const JoinInput& input : inputs)
        m_inputs.push_back({input.records, RecordDates(input.firstRecordDate), {}, {}, {}, 0});
    m_cells.resize(m_inputs.size());
    m_cellPointers.assign(m_inputs.size(), nullptr);
    if (m_powerPair)
        m_power.emplace();
    for (Input& input : m_inputs)
        advance(input);
}

void JoinedRows::advance(Input& input)
{
    const TARecord* record = input.records->nextRecord();
    if (!record) {
        input.head.reset();
        return;
    }
    input.head = *record;
    input.headMoment = input.dates.nextMoment(*record);
    // A record whose time text is no time stays where its recording has it.
    input.headMs = input.headMoment ? input.utc.of(*input.headMoment) : input.lastMs;
    input.lastMs = input.headMs;
}

bool JoinedRows::next()
{
    const Input* first = nullptr;
    for (const Input& input : m_inputs)
        if (input.head && (!first || input.headMs < first->headMs))
            first = &input;
    if (!first)
        return false;
    m_moment = first->headMoment;
    m_epochMs = first->headMs;
    const std::int64_t end = first->headMs + kJoinWindowMs;
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        Input& input = m_inputs[i];
        m_cellPointers[i] = nullptr;
        if (!input.head || input.headMs > end)
            continue;
        m_cells[i] = *input.head;
        m_cellPointers[i] = &m_cells[i];
        advance(input);
    }
    if (m_power) {
        const auto [v, a] = *m_powerPair;
        m_powerRow = m_power->add(m_epochMs, m_volts.of(m_cellPointers[std::size_t(v)]).value,
                                  m_amperes.of(m_cellPointers[std::size_t(a)]).value);
    }
    ++m_rows;
    return true;
}

bool JoinedRows::datesInferred() const
{
    return std::any_of(m_inputs.begin(), m_inputs.end(),
                       [](const Input& input) { return input.dates.inferred(); });
}

char* writeRowTime(char* out, IsoTextWriter& writer, const std::optional<RecordMoment>& moment,
                   std::int64_t epochMs, bool utc)
{
    if (!moment)
        return out;
    if (!utc)
        return writer.write(out, moment->date, moment->ms, moment->stamped);
    const auto [date, ms] = utcDay(epochMs);
    out = writer.write(out, date, ms, moment->stamped);
    *out++ = 'Z';
    return out;
}

JoinedTableProducer::JoinedTableProducer(TableFormat format, QStringList names, JoinedRows& rows)
    : m_format(format), m_names(std::move(names)), m_rows(rows)
{
}

bool JoinedTableProducer::nextBlock(QByteArray& block)
{
    const std::string header =
        m_headerWritten ? std::string() : meterTableHeader(m_names, m_rows.power(), m_format);
    m_headerWritten = true;
    m_text.resize(header.size() + std::size_t(kBlockBytes + maxMeterTableRow(int(m_names.size()))));
    char* p = std::copy(header.begin(), header.end(), m_text.data());
    char time[kMaxIsoText + 2];
    while (p - m_text.data() < kBlockBytes && m_rows.next()) {
        const char* timeEnd =
            writeRowTime(time, m_isoText, m_rows.moment(), m_rows.epochMs(), m_format.utc);
        p = writeMeterTableRow(p, std::string_view(time, std::size_t(timeEnd - time)),
                               m_rows.cells(), m_rows.power(), m_format);
    }
    block.append(m_text.data(), qsizetype(p - m_text.data()));
    return p != m_text.data();
}

} // namespace dmm
