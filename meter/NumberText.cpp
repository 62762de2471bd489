// SPDX-License-Identifier: MIT
#include "NumberText.h"

#include <QLocale>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dmm {

namespace {

char g_separator = '.';

std::string_view trimBlanks(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

void stripTrailingZeros(std::string& digits)
{
    if (digits.find('.') == std::string::npos)
        return;
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (!digits.empty() && digits.back() == '.')
        digits.pop_back();
}

} // namespace

void normalizeCDecimalPoint(char* buffer)
{
    const char point = std::localeconv()->decimal_point[0];
    if (point == '.' || point == '\0')
        return;
    for (char* c = buffer; *c; ++c)
        if (*c == point)
            *c = '.';
}

char decimalSeparator()
{
    return g_separator;
}

void setDecimalSeparator(char separator)
{
    g_separator = separator;
}

void useLocaleDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    g_separator = (point.size() == 1 && point[0].unicode() < 128) ? point[0].toLatin1() : '.';
}

std::string formatGeneral(double value, int precision, char separator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0.0)
        return "0"; // also for -0
    precision = std::clamp(precision, 1, 17);

    // The decimal exponent after rounding to the precision decides the notation.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, value);
    normalizeCDecimalPoint(buffer);
    const char* ePos = std::strchr(buffer, 'e');
    const int exponent = std::atoi(ePos + 1);

    std::string text;
    if (exponent >= -4 && exponent < precision) {
        std::snprintf(buffer, sizeof buffer, "%.*f", std::max(0, precision - 1 - exponent), value);
        normalizeCDecimalPoint(buffer);
        text = buffer;
        stripTrailingZeros(text);
    } else {
        std::string mantissa(buffer, static_cast<std::size_t>(ePos - buffer));
        stripTrailingZeros(mantissa);
        text = mantissa + "E" + (exponent < 0 ? "-" : "") + std::to_string(std::abs(exponent));
    }
    if (text == "-0")
        return "0";
    for (char& c : text)
        if (c == '.')
            c = separator;
    return text;
}

std::optional<double> parseDecimal(std::string_view text, char separator)
{
    text = trimBlanks(text);
    // Grammar: [sign] (digits [sep digits*] | sep digits) [(e|E) [sign] digits]
    std::string normal;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        normal += text[i++];
    std::size_t mantissaDigits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        normal += text[i++];
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == separator) {
        normal += '.';
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            normal += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            normal += text[i++];
        std::size_t exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            normal += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;

    const char* begin = normal.data();
    if (*begin == '+')
        ++begin;
    double value = 0.0;
    const auto [end, error] = std::from_chars(begin, normal.data() + normal.size(), value);
    if (error != std::errc() || end != normal.data() + normal.size())
        return std::nullopt;
    return value;
}

std::optional<int> parseInteger(std::string_view text)
{
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace dmm
