// SPDX-License-Identifier: MIT
// The tools' common command-line rule: -h/--help and -v/--version answer and
// end with 0, a bad argument ends with status 2 and a hint to --help.
#pragma once

class QCommandLineParser;

namespace dmm::sim {

inline constexpr int kExitBadArguments = 2;

// QCommandLineParser::process(), but an unknown option or a missing value
// ends the program with kExitBadArguments (process() ends it with 1). The
// parser must hold the help and the version options.
void processArguments(QCommandLineParser& parser);

} // namespace dmm::sim
