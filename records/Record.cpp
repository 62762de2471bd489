// SPDX-License-Identifier: MIT
#include "Record.h"

#include <cstdio>
#include <cstring>

namespace dmm {

namespace {

class Writer
{
public:
    explicit Writer(std::span<std::uint8_t> out) : m_out(out) {}

    template <std::size_t N> void text(const FixedText<N>& field)
    {
        // The whole field: the bytes after the terminator may carry a date stamp.
        std::memcpy(m_out.data() + m_pos, field.chars().data(), N);
        m_pos += N;
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_out[m_pos++] = static_cast<std::uint8_t>(v >> (8 * i));
    }

private:
    std::span<std::uint8_t> m_out;
    std::size_t m_pos = 0;
};

class Reader
{
public:
    explicit Reader(std::span<const std::uint8_t> in) : m_in(in) {}

    template <std::size_t N> void text(FixedText<N>& field)
    {
        // Stored raw: an unterminated field loses no character, and the bytes
        // after a terminator (a date stamp, or whatever another program left
        // there) go back out unchanged.
        std::memcpy(field.chars().data(), m_in.data() + m_pos, N);
        m_pos += N;
    }
    std::uint32_t u32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(m_in[m_pos++]) << (8 * i);
        return v;
    }

private:
    std::span<const std::uint8_t> m_in;
    std::size_t m_pos = 0;
};

void writeCommon(Writer& w, const TARecord& r)
{
    w.text(r.display);
    w.text(r.exponent);
    w.u32(static_cast<std::uint32_t>(r.function));
    w.text(r.timeStamp);
    w.text(r.value);
    w.text(r.prefix);
    w.text(r.unit);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &r.fValue, 4);
    w.u32(bits);
}

void readCommon(Reader& in, TARecord& r)
{
    in.text(r.display);
    in.text(r.exponent);
    r.function = static_cast<std::int32_t>(in.u32());
    in.text(r.timeStamp);
    in.text(r.value);
    in.text(r.prefix);
    in.text(r.unit);
    const std::uint32_t bits = in.u32();
    std::memcpy(&r.fValue, &bits, 4);
}

} // namespace

std::array<std::uint8_t, kARecordSize> encodeARecord(const TARecord& record)
{
    std::array<std::uint8_t, kARecordSize> out{};
    Writer w(out);
    writeCommon(w, record);
    w.text(record.subDisplay);
    return out;
}

std::array<std::uint8_t, kRecordSize> encodeRecord(const TARecord& record)
{
    std::array<std::uint8_t, kRecordSize> out{};
    Writer w(out);
    writeCommon(w, record);
    return out;
}

TARecord decodeARecord(std::span<const std::uint8_t, kARecordSize> bytes)
{
    TARecord r;
    Reader in(bytes);
    readCommon(in, r);
    in.text(r.subDisplay);
    return r;
}

TARecord decodeRecord(std::span<const std::uint8_t, kRecordSize> bytes)
{
    TARecord r;
    Reader in(bytes);
    readCommon(in, r);
    return r;
}

std::string formatTimeStamp(int hour, int minute, int second, int milliseconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%3d:%02d:%02d.%-3d", hour, minute, second,
                  milliseconds / 100);
    return buffer;
}

} // namespace dmm
