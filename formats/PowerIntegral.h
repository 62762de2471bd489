// SPDX-License-Identifier: MIT
// Power, energy and charge of a volt meter and an ampere meter read side by
// side, row by row of their table: the power is the product where a row holds
// a DC volt and a DC ampere value; energy (Wh) and charge (Ah) run from the
// start by trapezoids between consecutive rows. An interval adds to the
// energy only when both its rows hold a power, to the charge only when both
// hold a current.
#pragma once

#include <cstdint>
#include <optional>

#include "MeterFunction.h"
#include "Record.h"

namespace dmm {

// What one meter's cell gives the power columns.
struct PowerInput
{
    std::optional<double> value; // in V or A
    // The meter gave a reading of another function (AC, ohms, ...): a reason
    // to say that the power cannot be worked out.
    bool otherFunction = false;
};

// The reading's value in its SI base unit where `record` holds a reading of
// `wanted` (DcVolts or DcAmperes) that is no overload; none for no record.
PowerInput powerInput(const TARecord* record, MeterFunction wanted);

// powerInput() of one meter's records in order, not worked out again for a
// record that stores the same value of the same function as the one before:
// a meter's display changes far more slowly than it is read.
class PowerInputs
{
public:
    explicit PowerInputs(MeterFunction wanted) : m_wanted(wanted) {}
    PowerInput of(const TARecord* record);

private:
    MeterFunction m_wanted;
    bool m_known = false;
    std::int32_t m_function = 0;
    float m_stored = 0;
    bool m_overload = false;
    PowerInput m_input;
};

struct PowerRow
{
    std::optional<double> watts; // none unless the row holds both values
    double wattHours = 0;
    double ampereHours = 0;
};

class PowerIntegral
{
public:
    // The next row at `ms` (any clock in milliseconds, not going backwards).
    PowerRow add(std::int64_t ms, std::optional<double> volts, std::optional<double> amperes);

private:
    std::optional<std::int64_t> m_lastMs;
    std::optional<double> m_lastWatts;
    std::optional<double> m_lastAmperes;
    double m_wattSeconds = 0;
    double m_ampereSeconds = 0;
};

} // namespace dmm
