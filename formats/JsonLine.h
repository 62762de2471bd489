// SPDX-License-Identifier: MIT
// One JSON object on one line, written field by field in the order given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dmm {

class JsonLine
{
public:
    JsonLine& add(std::string_view key, std::string_view text);
    JsonLine& add(std::string_view key, const char* text)
    {
        return add(key, std::string_view(text));
    }
    JsonLine& add(std::string_view key, bool value);
    JsonLine& add(std::string_view key, std::int64_t value);
    JsonLine& add(std::string_view key, std::uint32_t value)
    {
        return add(key, std::int64_t{value});
    }
    JsonLine& add(std::string_view key, int value) { return add(key, std::int64_t{value}); }
    // A string of UTF-8 text ("Ω", a file's name), its characters kept.
    JsonLine& addUtf8(std::string_view key, std::string_view text);
    // `number` must already be a JSON number.
    JsonLine& addNumber(std::string_view key, std::string_view number);
    // `json` must already be a JSON value (an array, say).
    JsonLine& addJson(std::string_view key, std::string_view json) { return addNumber(key, json); }
    JsonLine& addNull(std::string_view key);

    std::string str() const { return "{" + m_body + "}"; }

private:
    void key(std::string_view name);

    std::string m_body;
};

// The text as a JSON string literal, quotes included. Bytes of 0x80 and above
// are taken as Latin-1, so any byte string gives valid JSON.
std::string jsonString(std::string_view text);

// The UTF-8 text as a JSON string literal: quotes, backslashes and control
// characters escaped, every other byte kept.
std::string jsonUtf8String(std::string_view text);

} // namespace dmm
