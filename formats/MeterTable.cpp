// SPDX-License-Identifier: MIT
#include "MeterTable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

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

namespace {

constexpr int kDigits = 7;

// 10^k for 0 <= k <= 22, each exact in a double.
double exactPowerOfTen(int k)
{
    static const auto powers = [] {
        std::array<double, 23> p{};
        p[0] = 1;
        for (std::size_t i = 1; i < p.size(); ++i)
            p[i] = p[i - 1] * 10;
        return p;
    }();
    return powers[std::size_t(k)];
}

// |value| in kDigits digits times 10^(exponent - kDigits + 1), with one
// rounding; none where the shift is past the exact powers.
std::optional<long long> digitsAt(double magnitude, int exponent)
{
    const int shift = kDigits - 1 - exponent;
    if (shift > 22 || shift < -22)
        return std::nullopt;
    const double scaled =
        shift >= 0 ? magnitude * exactPowerOfTen(shift) : magnitude / exactPowerOfTen(-shift);
    // Within a few of its last bits of a half, the one rounding may have
    // decided the tie: the exact way decides it.
    const double whole = double(static_cast<long long>(scaled)); // positive: its floor
    if (std::abs(scaled - whole - 0.5) < 1e-7)
        return std::nullopt;
    return static_cast<long long>(scaled + 0.5); // positive: rounds half up
}

// What printf's %.7g writes, without its costly exact arithmetic: the table
// has three such numbers in every row. Values past 10^±15 take the slow way.
char* writeGeneral7(char* out, double value)
{
    if (value == 0) // no "-0"
        return *out = '0', out + 1;
    const double magnitude = std::abs(value);
    if (!std::isfinite(value) || magnitude < 1e-15 || magnitude >= 1e15)
        return std::to_chars(out, out + 32, value, std::chars_format::general, kDigits).ptr;
    // The power of ten from the power of two, off by at most one: log10(2)
    // is a little over 0.30103, and the check below mends it.
    // (A normal double: its biased exponent less 1023 is floor(log2).)
    const int binary = int((std::bit_cast<std::uint64_t>(magnitude) >> 52) & 0x7FF) - 1023;
    int exponent = (binary * 78913) >> 18; // 78913 / 2^18 is just under log10(2)
    auto digits = digitsAt(magnitude, exponent);
    // The estimate one too low, or rounded up to the next power of ten.
    if (digits && *digits >= 10'000'000)
        digits = digitsAt(magnitude, ++exponent);
    else if (digits && *digits < 1'000'000)
        digits = digitsAt(magnitude, --exponent);
    if (!digits || *digits >= 10'000'000 || *digits < 1'000'000)
        return std::to_chars(out, out + 32, value, std::chars_format::general, kDigits).ptr;
    char text[kDigits];
    long long n = *digits;
    for (int i = kDigits - 1; i >= 0; --i, n /= 10)
        text[i] = char('0' + n % 10);
    int last = kDigits - 1; // the last digit that is not a trailing zero
    while (last > 0 && text[last] == '0')
        --last;
    if (value < 0)
        *out++ = '-';
    if (exponent < -4 || exponent >= kDigits) {
        *out++ = text[0];
        if (last > 0) {
            *out++ = '.';
            out = std::copy(text + 1, text + last + 1, out);
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int e = std::abs(exponent);
        *out++ = char('0' + e / 10);
        *out++ = char('0' + e % 10);
        return out;
    }
    if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -exponent - 1, '0');
        return std::copy(text, text + last + 1, out);
    }
    out = std::copy(text, text + exponent + 1, out);
    if (last > exponent) {
        *out++ = '.';
        out = std::copy(text + exponent + 1, text + last + 1, out);
    }
    return out;
}

} // namespace

char* writePowerNumber(char* out, double value, const TableFormat& format)
{
    char* const end = writeGeneral7(out, value);
    if (format.decimalComma)
        std::replace(out, end, '.', ',');
    return end;
}

std::string powerNumberText(double value, const TableFormat& format)
{
    char text[32];
    return std::string(text, writePowerNumber(text, value, format));
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
        // A number holds the separator only as its decimal comma.
        const auto number = [&](double value) {
            char text[32];
            out = writeTableField(out,
                                  std::string_view(text, writePowerNumber(text, value, format)), s);
        };
        *out++ = s;
        if (power->watts)
            number(*power->watts);
        for (const double total : {power->wattHours, power->ampereHours}) {
            *out++ = s;
            number(total);
        }
    }
    *out++ = '\n';
    return out;
}

} // namespace dmm
