// SPDX-License-Identifier: MIT
// The meter's function: the word the decoder assembles from the display's
// annunciators, and the codes the program acts on. The code is the word with
// the low-battery bit cleared; a view switches on it.
#pragma once

#include <cstdint>

namespace dmm {

// The annunciator bits of the function word, as the meter's frame sets them.
// The temperature bits have no annunciator: the decoder derives them from a
// "C" or "F" in the fourth character.
namespace functionBit {
inline constexpr std::uint32_t Ac = 0x1;
inline constexpr std::uint32_t Dc = 0x2;
inline constexpr std::uint32_t Volt = 0x4;
inline constexpr std::uint32_t Farad = 0x8;
inline constexpr std::uint32_t Celsius = 0x20;
inline constexpr std::uint32_t Fahrenheit = 0x40;
inline constexpr std::uint32_t Ohm = 0x80;
inline constexpr std::uint32_t Flag100 = 0x100;
inline constexpr std::uint32_t Ampere = 0x200;
inline constexpr std::uint32_t Hertz = 0x400;
inline constexpr std::uint32_t Flag2000 = 0x2000;
inline constexpr std::uint32_t Flag20000000 = 0x20000000;
inline constexpr std::uint32_t Flag40000000 = 0x40000000;
inline constexpr std::uint32_t LowBattery = 0x80000000;
// Every bit a frame shows as an annunciator (not the temperature bits).
inline constexpr std::uint32_t Annunciators = Ac | Dc | Volt | Farad | Ohm | Flag100 | Ampere |
                                              Hertz | Flag2000 | Flag20000000 | Flag40000000 |
                                              LowBattery;
} // namespace functionBit

inline constexpr std::uint32_t kLowBatteryBit = functionBit::LowBattery;

// The function codes the program acts on; any other code is possible in a
// frame and falls to each rule's "other" case.
enum class MeterFunction : int
{
    None = 0,
    Volts = functionBit::Volt, // volts without AC or DC
    AcVolts = functionBit::Volt | functionBit::Ac,
    DcVolts = functionBit::Volt | functionBit::Dc,
    AcDcVolts = functionBit::Volt | functionBit::Ac | functionBit::Dc,
    Capacitance = functionBit::Farad,
    Celsius = functionBit::Celsius,
    Fahrenheit = functionBit::Fahrenheit,
    Ohms = functionBit::Ohm,
    OhmsFlag100 = functionBit::Ohm | functionBit::Flag100,
    AcAmperes = functionBit::Ampere | functionBit::Ac,
    DcAmperes = functionBit::Ampere | functionBit::Dc,
    AcDcAmperes = functionBit::Ampere | functionBit::Ac | functionBit::Dc,
    VoltAmperes = functionBit::Ampere | functionBit::Volt,
    Frequency = functionBit::Hertz,
    Flag40000000 = static_cast<int>(functionBit::Flag40000000),
};

// The function of a word as the meter sends it: the word without the
// low-battery bit.
constexpr MeterFunction functionOfWord(std::uint32_t word)
{
    return static_cast<MeterFunction>(static_cast<int>(word & ~kLowBatteryBit));
}
// A code already without the low-battery bit (a reading's iFunction).
constexpr MeterFunction asFunction(int code)
{
    return static_cast<MeterFunction>(code);
}
constexpr int functionCode(MeterFunction function)
{
    return static_cast<int>(function);
}

// What a function measures, whatever its AC/DC flavour.
enum class Quantity
{
    None, // no unit: 0, 0x40000000 and codes the meter does not send
    Volts,
    Amperes,
    Ohms,
    Farads,
    Celsius,
    Fahrenheit,
    VoltAmperes,
    Hertz,
};

constexpr Quantity quantityOf(MeterFunction f)
{
    switch (f) {
    case MeterFunction::Volts:
    case MeterFunction::AcVolts:
    case MeterFunction::DcVolts:
    case MeterFunction::AcDcVolts:
        return Quantity::Volts;
    case MeterFunction::AcAmperes:
    case MeterFunction::DcAmperes:
    case MeterFunction::AcDcAmperes:
        return Quantity::Amperes;
    case MeterFunction::Ohms:
    case MeterFunction::OhmsFlag100:
        return Quantity::Ohms;
    case MeterFunction::Capacitance:
        return Quantity::Farads;
    case MeterFunction::Celsius:
        return Quantity::Celsius;
    case MeterFunction::Fahrenheit:
        return Quantity::Fahrenheit;
    case MeterFunction::VoltAmperes:
        return Quantity::VoltAmperes;
    case MeterFunction::Frequency:
        return Quantity::Hertz;
    default:
        return Quantity::None;
    }
}

constexpr bool isTemperature(MeterFunction f)
{
    return f == MeterFunction::Celsius || f == MeterFunction::Fahrenheit;
}
constexpr bool isResistance(MeterFunction f)
{
    return f == MeterFunction::Ohms || f == MeterFunction::OhmsFlag100;
}

} // namespace dmm
