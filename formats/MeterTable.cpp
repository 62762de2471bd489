// SPDX-License-Identifier: MIT
#include "MeterTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dmm {

std::string meterTableHeader(const QStringList& names, bool power, const TableFormat& format)
{
    char field[256];
    std::string header;
    const auto add = [&](const std::string& name) {
        if (!header.empty())
            header += format.separator;
        const std::string_view text(name);
        header.append(field, writeTableField(field, text.substr(0, 120), format.separator));
    };
    add("time");
    for (const QString& name : names)
        for (const char* column : {" value", " unit", " display", " subdisplay"})
            add(name.toStdString() + column);
    if (power)
        for (const char* column : {"power", "energy", "charge"})
            add(column);
    return header + '\n';
}

std::string powerNumberText(double value, const TableFormat& format)
{
    if (value == 0) // no "-0"
        value = 0;
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7);
    std::string number(text, result.ptr);
    if (format.decimalComma)
        std::replace(number.begin(), number.end(), '.', ',');
    return number;
}

char* writeMeterTableRow(char* out, std::string_view time, std::span<const TARecord* const> cells,
                         const PowerRow* power, const TableFormat& format)
{
    const char s = format.separator;
    out = writeTableField(out, time, s);
    for (const TARecord* record : cells) {
        if (record) {
            out = writeReadingCells(out, *record, format);
        } else {
            out = std::fill_n(out, 4, s);
        }
    }
    if (power) {
        *out++ = s;
        if (power->watts)
            out = writeTableField(out, powerNumberText(*power->watts, format), s);
        for (const double total : {power->wattHours, power->ampereHours}) {
            *out++ = s;
            out = writeTableField(out, powerNumberText(total, format), s);
        }
    }
    *out++ = '\n';
    return out;
}

} // namespace dmm
