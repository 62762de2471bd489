// SPDX-License-Identifier: MIT
#include "RecordStamp.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace dmm {

namespace {

constexpr std::size_t kTimeOffset = kStampPrefixTextMax + 1; // in the prefix field
constexpr std::size_t kTimeBytes = 6;
constexpr std::size_t kMarkerOffset = kStampMarkerOffset; // in the unit field
constexpr std::array<std::uint8_t, 4> kMarker = {kStampMarker[0], kStampMarker[1], kStampMarker[2],
                                                 kStampMarker[3]};
constexpr std::size_t kCheckOffset = kMarkerOffset + kMarker.size();
constexpr std::int64_t kTimeLimit = std::int64_t(1) << (8 * kTimeBytes);

static_assert(kTimeOffset + kTimeBytes <= decltype(TARecord::prefix)::capacity());
static_assert(kCheckOffset + 1 <= decltype(TARecord::unit)::capacity());

// CRC-8, polynomial 0x07.
std::uint8_t crc8(std::uint8_t crc, std::uint8_t byte)
{
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    return crc;
}

template <std::size_t N> bool textFitsWithin(const FixedText<N>& field, std::size_t maxLength)
{
    const auto& chars = field.chars();
    return std::find(chars.begin(), chars.begin() + maxLength + 1, '\0') !=
           chars.begin() + maxLength + 1;
}

std::uint8_t checkByte(const std::array<std::uint8_t, kTimeBytes>& time)
{
    std::uint8_t crc = 0;
    for (const std::uint8_t b : kMarker)
        crc = crc8(crc, b);
    for (const std::uint8_t b : time)
        crc = crc8(crc, b);
    return crc;
}

} // namespace

bool setRecordStamp(TARecord& record, std::int64_t msSinceEpoch)
{
    if (msSinceEpoch < 0 || msSinceEpoch >= kTimeLimit ||
        !textFitsWithin(record.prefix, kStampPrefixTextMax) ||
        !textFitsWithin(record.unit, kStampUnitTextMax))
        return false;
    std::array<std::uint8_t, kTimeBytes> time{};
    for (std::size_t i = 0; i < kTimeBytes; ++i)
        time[i] = static_cast<std::uint8_t>(msSinceEpoch >> (8 * i));
    auto& prefix = record.prefix.chars();
    auto& unit = record.unit.chars();
    for (std::size_t i = 0; i < kTimeBytes; ++i)
        prefix[kTimeOffset + i] = static_cast<char>(time[i]);
    for (std::size_t i = 0; i < kMarker.size(); ++i)
        unit[kMarkerOffset + i] = static_cast<char>(kMarker[i]);
    unit[kCheckOffset] = static_cast<char>(checkByte(time));
    return true;
}

std::optional<std::int64_t> recordStamp(const TARecord& record)
{
    const auto& prefix = record.prefix.chars();
    const auto& unit = record.unit.chars();
    // The marker first: most records without a stamp fail on it at once.
    if (!hasStampMarker(record) || !textFitsWithin(record.prefix, kStampPrefixTextMax) ||
        !textFitsWithin(record.unit, kStampUnitTextMax))
        return std::nullopt;
    std::array<std::uint8_t, kTimeBytes> time{};
    std::int64_t ms = 0;
    for (std::size_t i = 0; i < kTimeBytes; ++i) {
        time[i] = static_cast<std::uint8_t>(prefix[kTimeOffset + i]);
        ms |= std::int64_t(time[i]) << (8 * i);
    }
    if (static_cast<std::uint8_t>(unit[kCheckOffset]) != checkByte(time))
        return std::nullopt;
    return ms;
}

} // namespace dmm
