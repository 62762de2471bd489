// SPDX-License-Identifier: MIT
// dmm-decode: frames as hex in, what the logger makes of them as JSON out.

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

#include "CommandLine.h"
#include "DecodeSession.h"
#include "HexBytes.h"
#include "NumberText.h"

namespace {

const char* kDescription =
    "Reads meter frames as hex from standard input, one read per line (\"0A 14 20 ...\"\n"
    "or \"0A1420...\"); blank lines and lines starting with # are skipped. A line of\n"
    "fewer than 15 bytes is a partial read of that many bytes, which decodes the\n"
    "last complete read again, as the logger does. Prints one JSON object per line:\n"
    "  ok        whether a frame decoded; when not, only {\"ok\":false}, with \"error\"\n"
    "            for a line that is not hex or holds more than 15 bytes\n"
    "  display   the decoder's display text (a temperature still has its unit letter)\n"
    "  exponent  the decimal exponent text\n"
    "  function  the function code word in decimal, low-battery bit included\n"
    "  value     the value text as the recorder and the data list keep it\n"
    "  meter     the digital meter's value text (kept from the line before when the\n"
    "            reading does not change it)\n"
    "  decimals  the scale the value was formatted with\n"
    "  prefix, unit   the prefix and unit texts\n"
    "  logged    the value the recorder would log, or null when it logs nothing\n"
    "The reading carries over from line to line like the logger's current reading.";

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dmm-decode"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DMM_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    dmm::sim::processArguments(parser);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr,
                     "dmm-decode: reads standard input, not %s (dmm-decode < FILE)\n"
                     "Try dmm-decode --help.\n",
                     qPrintable(parser.positionalArguments().first()));
        return dmm::sim::kExitBadArguments;
    }

    // The logger converts with "." from its first decoded frame on.
    dmm::setDecimalSeparator('.');

    dmm::sim::DecodeSession session;
    std::string line;
    while (dmm::sim::readHexLine(std::cin, line)) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::string error;
        const auto bytes = dmm::sim::parseHexBytes(line, &error);
        std::string output;
        if (!bytes)
            output = dmm::sim::errorLine(error);
        else if (bytes->size() > static_cast<std::size_t>(dmm::kFrameSize))
            output = dmm::sim::errorLine("more than 15 bytes in one read");
        else
            output = session.feed(*bytes);
        std::cout << output << '\n' << std::flush;
    }
    return 0;
}
