// SPDX-License-Identifier: MIT
// The table of several meters read side by side, one row per round:
//   time,volts value,volts unit,volts display,volts subdisplay,amps value,...
// each meter's four cells as the one-meter table writes them (TableExport.h:
// overloads without a value), all four empty where the meter gave no reading
// in that round; with a volt and an ampere meter paired, three more columns
//   power,energy,charge
// in W, Wh and Ah (PowerIntegral.h), power empty where the row holds no pair.
// dmm-log writes it as it reads the meters, dmm-export --table of several
// recordings as it joins them.
#pragma once

#include <QStringList>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "PowerIntegral.h"
#include "TableExport.h"

namespace dmm {

// Room for one row of `meters` meters with the power columns.
constexpr int maxMeterTableRow(int meters)
{
    return 64 + meters * kMaxTableRow + 3 * 64;
}

// The header line, ending in '\n'.
std::string meterTableHeader(const QStringList& names, bool power, const TableFormat& format);

// One row at `out` (room for maxMeterTableRow(cells.size())); a null cell is
// a meter without a reading in the row. `power` adds the three columns.
// Returns the row's end, after its '\n'.
char* writeMeterTableRow(char* out, std::string_view time, std::span<const TARecord* const> cells,
                         const PowerRow* power, const TableFormat& format);

// A power column's number: up to 7 significant digits, the table's decimal mark.
std::string powerNumberText(double value, const TableFormat& format);
// The same at `out`, which has room for 32 characters; returns its end.
char* writePowerNumber(char* out, double value, const TableFormat& format);

} // namespace dmm
