// SPDX-License-Identifier: MIT
#include "DecodeSession.h"

#include <cmath>

#include "JsonLine.h"
#include "NumberText.h"
#include "RecordValue.h"
#include "ValueFormat.h"

namespace dmm::sim {

std::string DecodeSession::feed(std::span<const std::uint8_t> bytesRead)
{
    const auto frame = m_decoder.ReadMeterFrame(bytesRead);
    if (!frame)
        return JsonLine().add("ok", false).str();
    if (auto meterText = applyFrame(m_reading, *frame))
        m_meterText = std::move(*meterText);

    JsonLine line;
    line.add("ok", true)
        .add("display", frame->display)
        .add("exponent", frame->exponent)
        .add("function", frame->function)
        .add("value", m_reading.szValue.view())
        .add("meter", m_meterText)
        .add("decimals", m_reading.iDecimals)
        .add("prefix", m_reading.szPrefix.view())
        .add("unit", m_reading.szUnit.view());
    // The recorder reads the current reading after the temperature unit was cut off.
    const auto logged = recordValue(m_reading.sDigits, m_reading.sExponent, m_reading.iFunction);
    if (logged && std::isfinite(*logged))
        line.addNumber("logged", formatGeneral(*logged, 7, '.'));
    else
        line.addNull("logged");
    return line.str();
}

std::string errorLine(const std::string& reason)
{
    return JsonLine().add("ok", false).add("error", reason).str();
}

} // namespace dmm::sim
