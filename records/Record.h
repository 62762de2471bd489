// SPDX-License-Identifier: MIT
// The logged-reading record: 76 bytes in .g52 and temporary files, 68 bytes
// (without the sub-display text) in older .g51 files. Little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "FixedText.h"

namespace dmm {

inline constexpr std::size_t kARecordSize = 76;
inline constexpr std::size_t kRecordSize = 68;

struct TARecord
{
    FixedText<8> display;      // sDigits
    FixedText<4> exponent;     // sExponent
    std::int32_t function = 0; // iFunction
    FixedText<16> timeStamp;
    FixedText<16> value; // szValue
    FixedText<8> prefix; // szPrefix
    FixedText<8> unit;   // szUnit
    float fValue = 0.0f;
    FixedText<8> subDisplay; // sPfText

    bool operator==(const TARecord&) const = default;
};

// Where a text field lies in the 76-byte record.
struct ARecordField
{
    int offset;
    int size;
};
// display, exponent, time stamp, value, prefix, unit, sub-display.
inline constexpr ARecordField kARecordTextFields[] = {{0, 8},  {8, 4},  {16, 16}, {32, 16},
                                                      {48, 8}, {56, 8}, {68, 8}};
inline constexpr ARecordField kARecordTimeStampField{16, 16};

// Fields are copied whole, the bytes after a text's terminator included
// (zero in a record made here, a date stamp once one is set; RecordStamp.h).
std::array<std::uint8_t, kARecordSize> encodeARecord(const TARecord& record);
std::array<std::uint8_t, kRecordSize> encodeRecord(const TARecord& record); // older layout

// A field without a terminator is taken up to the field's end, never beyond.
TARecord decodeARecord(std::span<const std::uint8_t, kARecordSize> bytes);
// The older 68-byte record; the sub-display text comes out empty.
TARecord decodeRecord(std::span<const std::uint8_t, kRecordSize> bytes);

// "%3d:%02d:%02d.%-3d" from hour, minute, second and milliseconds / 100.
std::string formatTimeStamp(int hour, int minute, int second, int milliseconds);

} // namespace dmm
