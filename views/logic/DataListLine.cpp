// SPDX-License-Identifier: MIT
#include "DataListLine.h"

namespace dmm {

std::string dataListLine(std::size_t index, const TARecord& record)
{
    std::string line = std::to_string(index + 1);
    line.reserve(64);
    line += ',';
    line += record.timeStamp.view();
    line += ',';
    line += record.value.view();
    line += record.prefix.view();
    // The unit field of a resistance holds "W", which only the Symbol face
    // draws as the ohm sign; a text line spells it out.
    if (record.function == 128 || record.function == 384)
        line += " Ohm";
    else
        line += record.unit.view();
    if (!record.subDisplay.empty()) {
        line += " ,PF=";
        line += record.subDisplay.view();
    }
    return line;
}

} // namespace dmm
