// SPDX-License-Identifier: MIT
#include "DataListLine.h"

#include "MeterFunction.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace dmm {

namespace {

char* put(char* out, std::string_view text)
{
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

} // namespace

char* writeDataListLine(char* out, std::size_t index, const TARecord& record)
{
    out = std::to_chars(out, out + 20, index + 1).ptr;
    *out++ = ',';
    out = put(out, record.timeStamp.view());
    *out++ = ',';
    out = put(out, record.value.view());
    out = put(out, record.prefix.view());
    // The unit field of a resistance holds "W", which only the Symbol face
    // draws as the ohm sign; a text line spells it out.
    if (isResistance(asFunction(record.function)))
        out = put(out, " Ohm");
    else
        out = put(out, record.unit.view());
    if (!record.subDisplay.empty()) {
        out = put(out, " ,PF=");
        out = put(out, record.subDisplay.view());
    }
    return out;
}

std::string dataListLine(std::size_t index, const TARecord& record)
{
    char line[kMaxDataListLine];
    return std::string(line, writeDataListLine(line, index, record));
}

} // namespace dmm
