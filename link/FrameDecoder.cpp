// SPDX-License-Identifier: MIT
#include "FrameDecoder.h"

#include <algorithm>

namespace dmm {

char SegmentToChar(std::uint8_t segments)
{
    switch (segments) {
    case 0:
        return ' ';
    case 22:
        return 'L';
    case 30:
        return 'C';
    case 50:
        return 'u';
    case 64:
        return '-';
    case 66:
        return 'r';
    case 78:
        return 'F';
    case 82:
        return 'c';
    case 86:
        return 't';
    case 94:
        return 'E';
    case 98:
        return 'n';
    case 114:
        return 'o';
    case 118:
        return 'b';
    case 124:
        return '5';
    case 126:
        return '6';
    case 160:
        return '1';
    case 168:
        return '7';
    case 190:
        return '0';
    case 218:
        return '2';
    case 228:
        return '4';
    case 230:
        return 'H';
    case 238:
        return 'A';
    case 242:
        return 'd';
    case 248:
        return '3';
    case 252:
        return '9';
    case 254:
        return '8';
    default:
        return '?';
    }
}

namespace {

int pointExponent(int dp)
{
    switch (dp) {
    case 0:
        return 3;
    case 1:
        return 2;
    case 2:
        return 1;
    default:
        return 0; // dp 4 and every impossible combination
    }
}

int multiplierExponent(int m)
{
    switch (m) {
    case 1:
        return -9;
    case 2:
        return -3;
    case 4:
        return -6;
    case 8:
        return 3;
    case 16:
        return 6;
    default:
        return 0;
    }
}

std::string overloadText(int dp)
{
    switch (dp) {
    case 1:
        return "OL.";
    case 2:
        return "O.L";
    case 4:
        return ".OL";
    default:
        return "OL";
    }
}

} // namespace

std::optional<DecodedFrame> decodeFrame(std::span<const std::uint8_t> bytes)
{
    // High nibble = position, low nibble = data; the later byte of a repeated position wins.
    std::array<int, 16> n{};
    for (std::uint8_t b : bytes)
        n[b >> 4] = b & 0x0F;
    if (n[0] != 0x0A)
        return std::nullopt;

    char c[5] = {};
    for (int k = 1; k <= 4; ++k) {
        // Bit 0 of the odd position carries the sign or a decimal point, not a segment.
        const auto segments =
            static_cast<std::uint8_t>((n[2 * k + 2] << 4) | (n[2 * k + 1] & 0x0E));
        c[k] = SegmentToChar(segments);
    }

    const int dp = (n[5] & 1) * 4 + (n[7] & 1) * 2 + (n[9] & 1);
    std::string display;
    if (c[3] == 'L')
        display = overloadText(dp);
    else if (c[1] == 'A')
        display = {c[1], c[2], c[3], c[4]};
    else
        display = {c[1], '.', c[2], c[3], c[4]};
    if (display == " .   ")
        display = "    ";
    if (n[3] & 1)
        display.insert(display.begin(), '-');

    const int m = (n[11] & 3) * 8 + (n[13] & 3) * 2 + (n[12] & 1);
    const int pointExp = pointExponent(dp);
    const int multExp = multiplierExponent(m);
    std::string exponent = std::to_string(pointExp + multExp);

    namespace bit = functionBit;
    std::uint32_t word = 0;
    if (n[2] & 4)
        word |= bit::LowBattery;
    if (n[2] & 2)
        word |= bit::Flag40000000;
    if (n[2] & 1)
        word |= bit::Flag20000000;
    if (n[11] & 4)
        word |= bit::Flag2000;
    if (n[12] & 2)
        word |= bit::Hertz;
    if (n[14] & 2)
        word |= bit::Ampere;
    if (n[2] & 8)
        word |= bit::Flag100;
    if (n[12] & 4)
        word |= bit::Ohm;
    if (c[4] == 'F')
        word |= bit::Fahrenheit;
    if (c[4] == 'C')
        word |= bit::Celsius;
    if (n[13] & 4)
        word |= bit::Farad;
    if (n[14] & 4)
        word |= bit::Volt;
    word |= static_cast<std::uint32_t>((n[1] & 6) >> 1); // the AC and DC bits

    // Volts with the 0x40000000 flag are plain AC or DC volts.
    if (word == (bit::Flag40000000 | functionCode(MeterFunction::DcVolts)))
        word = functionCode(MeterFunction::DcVolts);
    else if (word == (bit::Flag40000000 | functionCode(MeterFunction::AcVolts)))
        word = functionCode(MeterFunction::AcVolts);

    // The adjustments look at the function without the low-battery bit, so a weak
    // battery does not turn 25.3 degrees into 2530; the bit stays in the returned word.
    const MeterFunction function = functionOfWord(word);
    if (isTemperature(function) && (c[4] == 'C' || c[4] == 'F'))
        exponent = exponent == "3" ? "2" : "1";
    if (function == MeterFunction::Capacitance)
        exponent = std::to_string(pointExp + multExp + 6);
    if (function == MeterFunction::None)
        exponent = "3";

    return DecodedFrame{display, exponent, word};
}

std::optional<DecodedFrame> FrameDecoder::ReadMeterFrame(std::span<const std::uint8_t> bytesRead,
                                                         bool readFailed)
{
    if (readFailed || bytesRead.empty())
        return std::nullopt;
    // A partial read decodes the last complete read again.
    if (bytesRead.size() >= static_cast<std::size_t>(kFrameSize))
        std::copy_n(bytesRead.begin(), kFrameSize, m_lastRead.begin());
    return decodeFrame(m_lastRead);
}

} // namespace dmm
