// SPDX-License-Identifier: MIT
// A NUL-terminated text in a fixed-size character field, as the readings and
// the records keep them. Writing cuts the text to the field; reading never runs
// past the field's end, even when the field holds no terminator.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace dmm {

template <std::size_t N> class FixedText
{
public:
    FixedText() { m_chars.fill('\0'); }
    FixedText(std::string_view text) { assign(text); }

    void assign(std::string_view text)
    {
        m_chars.fill('\0');
        const std::size_t n = std::min(text.size(), N - 1);
        std::copy_n(text.begin(), n, m_chars.begin());
    }
    FixedText& operator=(std::string_view text)
    {
        assign(text);
        return *this;
    }

    std::string_view view() const
    {
        const auto end = std::find(m_chars.begin(), m_chars.end(), '\0');
        return {m_chars.data(), static_cast<std::size_t>(end - m_chars.begin())};
    }
    std::string str() const { return std::string(view()); }
    bool empty() const { return m_chars[0] == '\0'; }

    // Raw field access for the record codec.
    std::array<char, N>& chars() { return m_chars; }
    const std::array<char, N>& chars() const { return m_chars; }
    static constexpr std::size_t capacity() { return N; }

    bool operator==(const FixedText& other) const { return view() == other.view(); }

private:
    std::array<char, N> m_chars;
};

} // namespace dmm
