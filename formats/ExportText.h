// SPDX-License-Identifier: MIT
// The comma-separated text export: one line per entry,
//   index + 1 "," time stamp "," value [ "," sub-display ] CR LF
// with the value in 7 significant digits and "." as the decimal point.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "AtomicFile.h"
#include "ExportPages.h"
#include "RecordBuffer.h"

namespace dmm {

// Room formatValue7 needs: "-1.234568E-45".
inline constexpr std::size_t kValue7MaxChars = 16;

// A float in the general format with 7 significant digits: trailing zeros
// dropped, fixed notation from 0.0001 up to 7 integer digits (0.0001234,
// 1234567, -12.5, 0), otherwise a mantissa, "E" and the exponent (1.5E-5,
// 1.234568E7). A float whose shortest round-trip form has at most 7 digits is
// written from that form, so a reading of 0.0009862 comes out as 0.0009862 and
// not as the 0.0009861999 its binary value rounds to; any other is rounded once
// from its binary value, ties to even (1.0001424551 gives 1.000142). Uses at most
// kValue7MaxChars bytes of `out`, some past the text as scratch, and returns
// the text's length.
std::size_t formatValue7(float value, char* out);
std::string formatValue7(float value);

// The longest line: 20 digits, 2 commas, the fields' texts, the value, a
// third comma and CR LF.
inline constexpr std::size_t kMaxExportLine = 20 + 1 + 16 + 1 + kValue7MaxChars + 1 + 8 + 2;

// Writes the line of the entry at 0-based `index` at `p` (at most
// kMaxExportLine characters) and returns the end of what it wrote.
char* writeExportLine(char* p, std::size_t index, const TARecord& record);

// Appends the lines of `records`, consecutive entries the first of which is
// at 0-based `firstIndex`.
void appendExportLines(QByteArray& text, std::size_t firstIndex, std::span<const TARecord> records);

// The export lines of entries range.begin … range.end - 1 (indices past the
// buffer's end are left out); empty for an empty range.
QByteArray exportText(const RecordBuffer& buffer, EntryRange range);

// The same text a block at a time, for writeFileAtomically: never the whole
// text in memory. `records` may be read on another thread.
BlockProducer exportTextBlocks(RecordBuffer::Snapshot records, EntryRange range);

// Writes `text` as the whole file, replacing any file of that name only once
// everything is written. Returns the reason when it fails.
std::optional<QString> saveExportText(const QString& fileName, const QByteArray& text);

} // namespace dmm
