// SPDX-License-Identifier: MIT
#include "Scenarios.h"

#include <cstdio>
#include <cstdlib>
#include <random>

#include "FrameEncoder.h"

namespace dmm::sim {

namespace {

using DP = DecimalPoint;
using M = Multiplier;

// Function words of the scenarios' readings.
constexpr std::uint32_t word(MeterFunction function)
{
    return static_cast<std::uint32_t>(functionCode(function));
}
constexpr std::uint32_t kAcVolts = word(MeterFunction::AcVolts);
constexpr std::uint32_t kDcVolts = word(MeterFunction::DcVolts);
constexpr std::uint32_t kCelsius = word(MeterFunction::Celsius);
constexpr std::uint32_t kFahrenheit = word(MeterFunction::Fahrenheit);
constexpr std::uint32_t kOhms = word(MeterFunction::Ohms);
constexpr std::uint32_t kDcAmperes = word(MeterFunction::DcAmperes);

bool isTemperature(std::uint32_t function)
{
    return dmm::isTemperature(functionOfWord(function));
}

// A display counting `count` units of its last digit; a temperature keeps three
// digits and its unit letter.
MeterDisplay countDisplay(std::uint32_t function, int count, DP point, M multiplier)
{
    const bool temperature = isTemperature(function);
    const int limit = temperature ? 999 : 9999;
    const int magnitude = std::min(std::abs(count), limit);
    char digits[8];
    std::snprintf(digits, sizeof digits, temperature ? "%03d" : "%04d", magnitude);

    MeterDisplay display;
    for (std::size_t i = 0; i < 4; ++i)
        display.characters[i] = digits[i];
    if (temperature)
        display.characters[3] = functionOfWord(function) == MeterFunction::Celsius ? 'C' : 'F';
    display.point = point;
    display.minus = count < 0;
    display.multiplier = multiplier;
    display.flags = function & functionBit::Annunciators;
    return display;
}

void add(SimSteps& steps, const MeterDisplay& display, int times = 1)
{
    for (int i = 0; i < times; ++i)
        steps.push_back(frameStep(encodeFrame(display)));
}

void add(SimSteps& steps, std::uint32_t function, std::string_view text, M multiplier = M::None,
         int times = 1)
{
    if (const auto display = displayFor(function, text, multiplier))
        add(steps, *display, times);
}

// From `low` up to `high` and back down, in `intervals` equal steps each way.
void addSweep(SimSteps& steps, std::uint32_t function, DP point, M multiplier, int low, int high,
              int intervals = 5)
{
    for (int i = 0; i <= intervals; ++i)
        add(steps, countDisplay(function, low + (high - low) * i / intervals, point, multiplier));
    for (int i = intervals - 1; i > 0; --i)
        add(steps, countDisplay(function, low + (high - low) * i / intervals, point, multiplier));
}

SimSteps sweep()
{
    SimSteps s;
    addSweep(s, 0, DP::None, M::None, 0, 999);                      // no annunciator
    addSweep(s, 4, DP::BeforeSecond, M::None, 0, 3999);             // volts, X.XXX V
    addSweep(s, kDcVolts, DP::BeforeFourth, M::Milli, -3999, 3999); // XXX.X mV
    addSweep(s, kDcVolts, DP::BeforeSecond, M::None, -3999, 3999);  // X.XXX V
    addSweep(s, kDcVolts, DP::BeforeThird, M::None, -3999, 3999);   // XX.XX V
    addSweep(s, kAcVolts, DP::BeforeFourth, M::Milli, 0, 3999);
    addSweep(s, kAcVolts, DP::BeforeThird, M::None, 0, 3999);
    addSweep(s, word(MeterFunction::AcDcVolts), DP::BeforeSecond, M::None, 0, 3999);  // AC+DC volts
    addSweep(s, word(MeterFunction::Capacitance), DP::BeforeThird, M::Nano, 0, 3999); // XX.XX nF
    addSweep(s, word(MeterFunction::Capacitance), DP::BeforeSecond, M::Micro, 0, 3999); // X.XXX uF
    addSweep(s, kCelsius, DP::BeforeThird, M::None, -200, 999);                         // XX.X C
    addSweep(s, kFahrenheit, DP::None, M::None, -40, 999);                              // XXX F
    addSweep(s, kOhms, DP::BeforeFourth, M::None, 0, 3999);                             // XXX.X ohm
    addSweep(s, kOhms, DP::BeforeSecond, M::Kilo, 0, 3999); // X.XXX kohm
    addSweep(s, kOhms, DP::BeforeThird, M::Kilo, 0, 3999);  // XX.XX kohm
    addSweep(s, kOhms, DP::BeforeThird, M::Mega, 0, 3999);  // XX.XX Mohm
    addSweep(s, word(MeterFunction::OhmsFlag100), DP::BeforeFourth, M::None, 0, 3999);
    addSweep(s, word(MeterFunction::AcAmperes), DP::BeforeSecond, M::None, 0, 3999); // AC X.XXX A
    addSweep(s, kDcAmperes, DP::BeforeFourth, M::Micro, -3999, 3999);                // XXX.X uA
    addSweep(s, kDcAmperes, DP::BeforeThird, M::Milli, -3999, 3999);                 // XX.XX mA
    addSweep(s, word(MeterFunction::AcDcAmperes), DP::BeforeSecond, M::None, 0, 3999);
    addSweep(s, word(MeterFunction::VoltAmperes), DP::BeforeFourth, M::Kilo, 0, 3999); // XXX.X kVA
    addSweep(s, word(MeterFunction::Frequency), DP::BeforeFourth, M::None, 0, 9999);   // XXX.X Hz
    addSweep(s, word(MeterFunction::Frequency), DP::BeforeThird, M::Kilo, 0, 9999);    // XX.XX kHz
    addSweep(s, word(MeterFunction::Frequency), DP::BeforeSecond, M::Mega, 0, 9999);   // X.XXX MHz
    addSweep(s, functionBit::Flag40000000, DP::BeforeSecond, M::None, 0, 3999);
    return s;
}

SimSteps overload()
{
    struct Range
    {
        std::uint32_t function;
        DP point;
        M multiplier;
    };
    // Every function with an overload value of its own, and a few without one.
    const Range ranges[] = {
        {kAcVolts, DP::BeforeFourth, M::Milli},
        {kDcVolts, DP::BeforeSecond, M::None},
        {word(MeterFunction::AcDcVolts), DP::BeforeThird, M::None},
        {word(MeterFunction::Capacitance), DP::BeforeThird, M::Nano},
        {kCelsius, DP::None, M::None},
        {kFahrenheit, DP::BeforeThird, M::None},
        {kOhms, DP::None, M::None},
        {kOhms, DP::BeforeSecond, M::Mega},
        {word(MeterFunction::OhmsFlag100), DP::BeforeFourth, M::None},
        {word(MeterFunction::AcAmperes), DP::BeforeSecond, M::None},
        {kDcAmperes, DP::BeforeThird, M::Milli},
        {word(MeterFunction::AcDcAmperes), DP::BeforeFourth, M::Micro},
        {word(MeterFunction::Frequency), DP::BeforeThird, M::Kilo},
        {word(MeterFunction::Volts), DP::BeforeSecond, M::None},
        {word(MeterFunction::VoltAmperes), DP::None, M::None},
        {word(MeterFunction::None), DP::None, M::None},
    };
    SimSteps s;
    for (const bool negative : {false, true})
        for (const Range& r : ranges)
            add(s, overloadDisplay(r.function, r.point, negative, r.multiplier), 2);
    return s;
}

SimSteps blank()
{
    SimSteps s;
    add(s, blankDisplay(kDcVolts), 4);
    add(s, blankDisplay(kDcVolts, true), 4);
    add(s, blankDisplay(0), 4);
    add(s, blankDisplay(kOhms), 4);
    return s;
}

SimSteps negative()
{
    SimSteps s;
    add(s, kDcVolts, "-1.234", M::None, 3);
    add(s, kDcVolts, "-0.001", M::None, 2);
    add(s, kDcVolts, "-12.34", M::Milli, 3);
    add(s, kDcVolts, "-399.9", M::Milli, 2);
    add(s, kDcAmperes, "-123.4", M::Micro, 3);
    add(s, kDcAmperes, "-1.234", M::None, 2);
    add(s, kCelsius, "-10.5", M::None, 3);
    add(s, kFahrenheit, "-040", M::None, 2);
    add(s, overloadDisplay(kDcVolts, DP::BeforeSecond, true), 2);
    return s;
}

SimSteps lowBattery()
{
    SimSteps s;
    add(s, kDcVolts | functionBit::LowBattery, "1.234", M::None, 4);
    add(s, kCelsius | functionBit::LowBattery, "25.3", M::None, 3);
    add(s, overloadDisplay(kOhms | functionBit::LowBattery, DP::None), 3);
    add(s, kDcVolts | functionBit::Flag40000000 | functionBit::LowBattery, "3.300", M::None, 2);
    add(s, kDcVolts, "1.234", M::None, 2);
    return s;
}

SimSteps silence()
{
    SimSteps s;
    const int gaps[] = {2000, 5000, 13000}; // the last outlasts a reader's 12 s time-out
    for (const int gap : gaps) {
        add(s, kDcVolts, "1.234", M::None, 4);
        s.push_back(waitStep(gap));
    }
    return s;
}

SimSteps partial()
{
    const Frame before = encodeFrame(*displayFor(kDcVolts, "1.234"));
    const Frame after = encodeFrame(*displayFor(kDcVolts, "2.345"));
    // A read that stops after 7 bytes, then the rest of the frame after a gap
    // longer than the reader's 30 ms between bytes.
    const auto split = [](SimSteps& s, const Frame& frame) {
        const std::span<const std::uint8_t> bytes(frame);
        s.push_back(bytesStep(bytes.first(7)));
        s.push_back(waitStep(40));
        s.push_back(bytesStep(bytes.subspan(7)));
    };
    SimSteps s;
    s.push_back(frameStep(before));
    s.push_back(frameStep(before));
    split(s, after);
    s.push_back(frameStep(after));
    s.push_back(frameStep(after));
    split(s, rotated(before, 8));
    s.push_back(frameStep(before));
    return s;
}

SimSteps garbage()
{
    // A fixed seed, so every run sends the same noise; the raw engine output is
    // the same on every standard library.
    std::mt19937 random(20240611u);
    const auto randomBytes = [&random](std::size_t count) {
        std::vector<std::uint8_t> bytes(count);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random() & 0xFF);
        return bytes;
    };
    const Frame good = encodeFrame(*displayFor(kDcVolts, "1.234"));
    Frame noIdentifier = good;
    noIdentifier[0] = 0x05; // position 0 with the wrong identifier
    Frame noPosition0 = good;
    noPosition0[0] = 0x14; // position 1 twice, position 0 missing

    SimSteps s;
    for (int round = 0; round < 3; ++round) {
        s.push_back(frameStep(good));
        s.push_back(bytesStep(randomBytes(15)));
        s.push_back(frameStep(noIdentifier));
        s.push_back(bytesStep(randomBytes(5)));
        s.push_back(frameStep(good));
        s.push_back(frameStep(noPosition0));
        s.push_back(bytesStep(randomBytes(15)));
        s.push_back(bytesStep(randomBytes(1)));
    }
    return s;
}

SimSteps steady()
{
    SimSteps s;
    add(s, kDcVolts, "1.234");
    return s;
}

// A battery discharged at a steady load, read by two meters: the volt meter
// sees 12.60 V fall to 11.80 V, the ampere meter 1.000 A fall to 0.920 A,
// one step of the last digit per frame; both scenarios take 81 frames.
SimSteps batteryVolts()
{
    SimSteps s;
    for (int count = 1260; count >= 1180; --count)
        add(s, countDisplay(kDcVolts, count, DP::BeforeThird, M::None));
    return s;
}

SimSteps batteryAmperes()
{
    SimSteps s;
    for (int count = 1000; count >= 920; --count)
        add(s, countDisplay(kDcAmperes, count, DP::BeforeSecond, M::None));
    return s;
}

} // namespace

const std::vector<std::string>& scenarioNames()
{
    static const std::vector<std::string> names{
        "sweep",   "overload", "blank",  "negative",      "lowbat",       "silence",
        "partial", "garbage",  "steady", "battery-volts", "battery-amps", "all"};
    return names;
}

std::optional<SimSteps> scenarioSteps(std::string_view name)
{
    if (name == "sweep")
        return sweep();
    if (name == "overload")
        return overload();
    if (name == "blank")
        return blank();
    if (name == "negative")
        return negative();
    if (name == "lowbat")
        return lowBattery();
    if (name == "silence")
        return silence();
    if (name == "partial")
        return partial();
    if (name == "garbage")
        return garbage();
    if (name == "steady")
        return steady();
    if (name == "battery-volts")
        return batteryVolts();
    if (name == "battery-amps")
        return batteryAmperes();
    if (name == "all") {
        SimSteps s;
        for (const auto& part : scenarioNames()) {
            if (part == "all")
                continue;
            const SimSteps steps = *scenarioSteps(part);
            s.insert(s.end(), steps.begin(), steps.end());
        }
        return s;
    }
    return std::nullopt;
}

} // namespace dmm::sim
