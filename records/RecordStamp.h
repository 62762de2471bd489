// SPDX-License-Identifier: MIT
// The date and time of a reading, hidden in a record's spare bytes. Readers
// use each text only up to its terminator, so the bytes after the prefix's
// and the unit's terminators are free: the longest prefix the meter's texts
// give is one character ("n", "u", "m", "K", "M") and the longest unit two
// ("Hz", "VA"). Layout:
//   prefix bytes 2..7  milliseconds since 1970-01-01 UTC, 48 bits, little-endian
//   unit bytes 3..6    the marker D7 5A E3 16
//   unit byte 7        a CRC-8 over the marker and the six time bytes
// Files from other programs may hold anything there; a stamp is believed only
// when the texts leave its bytes free, the marker matches and the check byte
// agrees (about one chance in 2^40 for random bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "Record.h"

namespace dmm {

// The longest texts that leave room for the stamp.
inline constexpr std::size_t kStampPrefixTextMax = 1;
inline constexpr std::size_t kStampUnitTextMax = 2;

// Writes `msSinceEpoch` into the record's spare bytes. False, with the record
// unchanged, when its prefix or unit text is too long or the time is outside
// 1970 to the year 10889.
bool setRecordStamp(TARecord& record, std::int64_t msSinceEpoch);

// The stamp's time, or none when the record carries no valid stamp.
std::optional<std::int64_t> recordStamp(const TARecord& record);

// The marker of a stamp: unit bytes 3..6.
inline constexpr std::size_t kStampMarkerOffset = kStampUnitTextMax + 1;
inline constexpr unsigned char kStampMarker[4] = {0xD7, 0x5A, 0xE3, 0x16};

// Whether the record's unit field holds the marker: a record without it
// carries no stamp. A test of four bytes, for walks over many records.
inline bool hasStampMarker(const TARecord& record)
{
    return std::memcmp(record.unit.chars().data() + kStampMarkerOffset, kStampMarker,
                       sizeof kStampMarker) == 0;
}

} // namespace dmm
