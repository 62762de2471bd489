// SPDX-License-Identifier: MIT
#include "JsonLine.h"

#include <cstdio>

namespace dmm {

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u >= 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", u);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string jsonUtf8String(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

void JsonLine::key(std::string_view name)
{
    if (!m_body.empty())
        m_body += ',';
    m_body += jsonString(name);
    m_body += ':';
}

JsonLine& JsonLine::add(std::string_view name, std::string_view text)
{
    key(name);
    m_body += jsonString(text);
    return *this;
}

JsonLine& JsonLine::add(std::string_view name, bool value)
{
    key(name);
    m_body += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::add(std::string_view name, std::int64_t value)
{
    key(name);
    m_body += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::addUtf8(std::string_view name, std::string_view text)
{
    key(name);
    m_body += jsonUtf8String(text);
    return *this;
}

JsonLine& JsonLine::addNumber(std::string_view name, std::string_view number)
{
    key(name);
    m_body += number;
    return *this;
}

JsonLine& JsonLine::addNull(std::string_view name)
{
    key(name);
    m_body += "null";
    return *this;
}

} // namespace dmm
