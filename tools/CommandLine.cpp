// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace dmm::sim {

void processArguments(QCommandLineParser& parser)
{
    const QString name = QCoreApplication::applicationName();
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s: %s\nTry %s --help.\n", qPrintable(name),
                     qPrintable(parser.errorText()), qPrintable(name));
        std::exit(kExitBadArguments);
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
}

} // namespace dmm::sim
