// SPDX-License-Identifier: MIT
#include "HexBytes.h"

namespace dmm::sim {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool readHexLine(std::istream& in, std::string& line)
{
    constexpr std::size_t kDigitsKept = 32; // 16 bytes: one more than a read holds
    constexpr std::size_t kCharactersKept = 4096;
    line.clear();
    std::size_t digits = 0;
    bool any = false;
    std::streambuf* buffer = in.rdbuf();
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            if (!any)
                in.setstate(std::ios::eofbit);
            return any;
        }
        any = true;
        if (c == '\n')
            return true;
        if (digits >= kDigitsKept || line.size() >= kCharactersKept)
            continue; // skipped, not kept
        line.push_back(static_cast<char>(c));
        if (!isBlank(static_cast<char>(c)))
            ++digits;
    }
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text, std::string* error)
{
    const auto fail = [error](std::string reason) -> std::optional<std::vector<std::uint8_t>> {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        const int high = hexDigit(text[i]);
        if (high < 0)
            return fail("not a hex digit: '" + std::string(1, text[i]) + "'");
        if (i + 1 >= text.size() || isBlank(text[i + 1]))
            return fail("odd number of hex digits");
        const int low = hexDigit(text[i + 1]);
        if (low < 0)
            return fail("not a hex digit: '" + std::string(1, text[i + 1]) + "'");
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
        i += 2;
    }
    return bytes;
}

std::string hexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

} // namespace dmm::sim
