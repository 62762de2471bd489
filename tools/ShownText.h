// SPDX-License-Identifier: MIT
// A text from outside (a conf file's line, an address, a name) as a message
// on the terminal or in the journal shows it: every character that does not
// print (a NUL, an escape, a tab) written as \xHH or \uHHHH, and a long text
// cut to its start and its length, so that a message always reaches its
// reason and never drives the terminal.
#pragma once

#include <QString>
#include <QStringView>

namespace dmm::logtool {

// Characters of a text shown whole; a longer one is cut.
inline constexpr qsizetype kShownTextLength = 80;
// Characters kept of a cut text, before "... (N characters)".
inline constexpr qsizetype kShownTextStart = 60;

// "PORT=\x1B[2J" for PORT=ESC[2J; "FOLDER=/aaaa... (8388608 characters)".
QString shownText(QStringView text);

// `address` as shownText shows it, the password of a user:password@ part
// replaced by "***".
QString shownAddress(QStringView address);

} // namespace dmm::logtool
