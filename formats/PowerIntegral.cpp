// SPDX-License-Identifier: MIT
#include "PowerIntegral.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "SiUnits.h"
#include "TableExport.h"

namespace dmm {

PowerInput powerInput(const TARecord* record, MeterFunction wanted)
{
    if (!record)
        return {};
    if (asFunction(record->function) != wanted)
        return {std::nullopt, true};
    if (isOverload(*record))
        return {};
    // The shortest decimal text of the stored float, as the table shows it,
    // so that 12.34 is 12.34 and not 12.340000152587890625.
    char text[kMaxSiValueText];
    const char* end = writeSiValueText(text, record->fValue, siUnit(record->function).decimalShift);
    double value = 0;
    if (std::from_chars(text, end, value).ec != std::errc() || !std::isfinite(value))
        return {};
    return {value, false};
}

PowerInput PowerInputs::of(const TARecord* record)
{
    if (!record)
        return {};
    const bool overload = isOverload(*record);
    // The same bits, not merely an equal float: -0 and NaN stay apart.
    if (m_known && record->function == m_function && overload == m_overload &&
        std::memcmp(&record->fValue, &m_stored, sizeof m_stored) == 0)
        return m_input;
    m_known = true;
    m_function = record->function;
    m_stored = record->fValue;
    m_overload = overload;
    m_input = powerInput(record, m_wanted);
    return m_input;
}

PowerRow PowerIntegral::add(std::int64_t ms, std::optional<double> volts,
                            std::optional<double> amperes)
{
    PowerRow row;
    if (volts && amperes)
        row.watts = *volts * *amperes;
    if (m_lastMs) {
        const double seconds = double(ms - *m_lastMs) / 1000.0;
        if (row.watts && m_lastWatts)
            m_wattSeconds += (*row.watts + *m_lastWatts) / 2 * seconds;
        if (amperes && m_lastAmperes)
            m_ampereSeconds += (*amperes + *m_lastAmperes) / 2 * seconds;
    }
    m_lastMs = ms;
    m_lastWatts = row.watts;
    m_lastAmperes = amperes;
    row.wattHours = m_wattSeconds / 3600.0;
    row.ampereHours = m_ampereSeconds / 3600.0;
    return row;
}

} // namespace dmm
