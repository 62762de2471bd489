// SPDX-License-Identifier: MIT
#include "FrameEncoder.h"

namespace dmm::sim {

namespace {

struct SegmentEntry
{
    char character;
    std::uint8_t segments;
};

// The decoder's segment table read the other way round.
constexpr std::array<SegmentEntry, 26> kSegmentTable{{
    {' ', 0},   {'L', 22},  {'C', 30},  {'u', 50},  {'-', 64},  {'r', 66},  {'F', 78},
    {'c', 82},  {'t', 86},  {'E', 94},  {'n', 98},  {'o', 114}, {'b', 118}, {'5', 124},
    {'6', 126}, {'1', 160}, {'7', 168}, {'0', 190}, {'2', 218}, {'4', 228}, {'H', 230},
    {'A', 238}, {'d', 242}, {'3', 248}, {'9', 252}, {'8', 254},
}};

// Segments e and d alone: a pattern the meter never shows.
constexpr std::uint8_t kUnknownSegments = 0x12;

constexpr int nibble(bool set, int bit)
{
    return set ? (1 << bit) : 0;
}

} // namespace

bool isDisplayable(char c)
{
    for (const auto& entry : kSegmentTable)
        if (entry.character == c)
            return true;
    return false;
}

std::uint8_t segmentsFor(char c)
{
    for (const auto& entry : kSegmentTable)
        if (entry.character == c)
            return entry.segments;
    return kUnknownSegments;
}

Frame encodeFrame(const MeterDisplay& display)
{
    std::array<int, kFrameSize> n{};
    const std::uint32_t f = display.flags;
    const int dp = static_cast<int>(display.point);
    const int m = static_cast<int>(display.multiplier);

    n[0] = 0x0A;
    n[1] = nibble(f & functionBit::Dc, 2) | nibble(f & functionBit::Ac, 1);
    n[2] = nibble(f & functionBit::Flag100, 3) | nibble(f & functionBit::LowBattery, 2) |
           nibble(f & functionBit::Flag40000000, 1) | nibble(f & functionBit::Flag20000000, 0);
    for (int k = 1; k <= 4; ++k) {
        const std::uint8_t segments =
            segmentsFor(display.characters[static_cast<std::size_t>(k - 1)]);
        // Segments a, f, e share their nibble with the sign (character 1) or the
        // point before characters 2 to 4.
        n[static_cast<std::size_t>(2 * k + 1)] = segments & 0x0E;
        n[static_cast<std::size_t>(2 * k + 2)] = segments >> 4;
    }
    n[3] |= nibble(display.minus, 0);
    n[5] |= nibble(dp & 4, 0);
    n[7] |= nibble(dp & 2, 0);
    n[9] |= nibble(dp & 1, 0);
    n[11] = nibble(f & functionBit::Flag2000, 2) | ((m >> 3) & 3);
    n[12] = nibble(f & functionBit::Ohm, 2) | nibble(f & functionBit::Hertz, 1) | (m & 1);
    n[13] = nibble(f & functionBit::Farad, 2) | ((m >> 1) & 3);
    n[14] = nibble(f & functionBit::Volt, 2) | nibble(f & functionBit::Ampere, 1);

    Frame frame{};
    for (std::size_t p = 0; p < frame.size(); ++p)
        frame[p] = static_cast<std::uint8_t>((p << 4) | static_cast<std::size_t>(n[p]));
    return frame;
}

Frame rotated(const Frame& frame, int start)
{
    Frame result{};
    for (int i = 0; i < kFrameSize; ++i)
        result[static_cast<std::size_t>(i)] =
            frame[static_cast<std::size_t>(((start + i) % kFrameSize + kFrameSize) % kFrameSize)];
    return result;
}

std::optional<MeterDisplay> parseDisplayText(std::string_view text)
{
    MeterDisplay display;
    if (!text.empty() && text.front() == '-') {
        display.minus = true;
        text.remove_prefix(1);
    }
    std::size_t count = 0;
    bool pointSeen = false;
    for (const char c : text) {
        if (c == '.') {
            if (pointSeen || count == 0 || count >= 4)
                return std::nullopt;
            pointSeen = true;
            display.point = count == 1   ? DecimalPoint::BeforeSecond
                            : count == 2 ? DecimalPoint::BeforeThird
                                         : DecimalPoint::BeforeFourth;
            continue;
        }
        const char shown = c == '_' ? ' ' : c;
        if (count >= 4 || !isDisplayable(shown))
            return std::nullopt;
        display.characters[count++] = shown;
    }
    if (count != 4)
        return std::nullopt;
    return display;
}

std::optional<MeterDisplay> displayFor(std::uint32_t function, std::string_view text,
                                       Multiplier multiplier)
{
    const MeterFunction code = functionOfWord(function);
    std::string withUnit(text);
    if (isTemperature(code)) {
        const std::string_view digits = text.substr(!text.empty() && text.front() == '-' ? 1 : 0);
        std::size_t characters = 0;
        for (const char c : digits)
            characters += c == '.' ? 0 : 1;
        if (characters == 3)
            withUnit += code == MeterFunction::Celsius ? 'C' : 'F';
    }
    auto display = parseDisplayText(withUnit);
    if (!display)
        return std::nullopt;
    display->flags = function & functionBit::Annunciators;
    display->multiplier = multiplier;
    return display;
}

MeterDisplay overloadDisplay(std::uint32_t function, DecimalPoint point, bool negative,
                             Multiplier multiplier)
{
    MeterDisplay display;
    const MeterFunction code = functionOfWord(function);
    // A temperature display keeps its unit letter, which is what makes it one.
    const char unit = code == MeterFunction::Celsius      ? 'C'
                      : code == MeterFunction::Fahrenheit ? 'F'
                                                          : ' ';
    display.characters = {' ', '0', 'L', unit};
    display.point = point;
    display.minus = negative;
    display.multiplier = multiplier;
    display.flags = function & functionBit::Annunciators;
    return display;
}

MeterDisplay blankDisplay(std::uint32_t function, bool minus)
{
    MeterDisplay display;
    display.minus = minus;
    display.flags = function & functionBit::Annunciators;
    return display;
}

} // namespace dmm::sim
