// SPDX-License-Identifier: MIT
// dmm-sim: a meter on a pseudo-terminal, for trying the logger without one.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "DeviceLink.h"
#include "PseudoTerminal.h"
#include "Scenarios.h"
#include "SignalPipe.h"
#include "SimPlayer.h"
#include "SimScript.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

QString description()
{
    QString text = QStringLiteral(
        "Simulates the meter: writes its 15-byte frames to a pseudo-terminal and makes\n"
        "a symbolic link (default ./COM1) to the terminal's slave device, which the\n"
        "logger opens as its serial port. Each frame goes out in one write, followed by\n"
        "one period of quiet. Frames are written only while some process has the port\n"
        "open, as on a real line; nothing queues up for a later reader.\n"
        "Once the link exists it prints the slave device and \"ready\" on one line\n"
        "(\"/dev/pts/3 ready\"). SIGINT or SIGTERM, the end of --once or --count remove\n"
        "the link and end the simulator with status 0; it ends with 1 when the\n"
        "terminal or the link cannot be made (an existing file that is not a symbolic\n"
        "link is never replaced) and with 2 for a bad option or script.\n"
        "\n"
        "Scenarios: sweep (every function, values up and down), overload, blank,\n"
        "negative, lowbat, silence (gaps of 2, 5 and 13 s), partial (7 bytes, then the\n"
        "rest after 40 ms), garbage (noise and frames without position 0), steady\n"
        "(DC 1.234 V over and over), battery-volts and battery-amps (a battery\n"
        "discharged: DC 12.60 V down to 11.80 V, DC 1.000 A down to 0.920 A, for two\n"
        "simulators side by side), all (each of them in turn).\n"
        "\n"
        "Log lines: time, sent|no-reader|dropped-full|short-N|failed, the bytes in hex\n"
        "and what the decoder makes of a read of those bytes (as dmm-decode prints it).\n"
        "\n");
    return text + QString::fromLatin1(dmm::sim::scriptHelp());
}

std::optional<dmm::sim::SimSteps> loadSteps(const QCommandLineParser& parser, QString& error)
{
    if (parser.isSet(QStringLiteral("script"))) {
        QFile file(parser.value(QStringLiteral("script")));
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.fileName() + QStringLiteral(": ") + file.errorString();
            return std::nullopt;
        }
        const QByteArray text = file.readAll();
        std::string reason;
        auto steps =
            dmm::sim::parseScript(std::string_view(text.constData(), text.size()), &reason);
        if (!steps)
            error = file.fileName() + QStringLiteral(": ") + QString::fromStdString(reason);
        return steps;
    }
    const QString name = parser.value(QStringLiteral("scenario"));
    auto steps = dmm::sim::scenarioSteps(name.toStdString());
    if (!steps)
        error = QStringLiteral("unknown scenario: ") + name;
    return steps;
}

std::optional<long long> numberOption(const QCommandLineParser& parser, const QString& name,
                                      long long minimum)
{
    bool ok = false;
    const long long value = parser.value(name).toLongLong(&ok);
    if (!ok || value < minimum)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dmm-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DMM_VERSION));
    // A reader of our standard output or log going away must not kill us before
    // the link is removed.
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("Symbolic link to create (default ./COM1)."),
         QStringLiteral("PATH"), QStringLiteral("./COM1")},
        {QStringLiteral("period"), QStringLiteral("Milliseconds after each write (default 250)."),
         QStringLiteral("MS"), QStringLiteral("250")},
        {QStringLiteral("scenario"), QStringLiteral("Built-in behaviour (default sweep)."),
         QStringLiteral("NAME"), QStringLiteral("sweep")},
        {QStringLiteral("script"), QStringLiteral("Play a script file instead of a scenario."),
         QStringLiteral("FILE")},
        {QStringLiteral("log"),
         QStringLiteral("Log every write to FILE, or to standard output with -."),
         QStringLiteral("FILE")},
        {QStringLiteral("count"), QStringLiteral("Stop after N frames have reached a reader."),
         QStringLiteral("N")},
        {QStringLiteral("once"), QStringLiteral("Play the scenario or script once, then stop.")},
        {QStringLiteral("wait-reader"),
         QStringLiteral("Start playing only when a reader has opened the port.")},
    });
    dmm::sim::processArguments(parser);

    QString error;
    const auto steps = loadSteps(parser, error);
    const auto period = numberOption(parser, QStringLiteral("period"), 0);
    const auto count = parser.isSet(QStringLiteral("count"))
                           ? numberOption(parser, QStringLiteral("count"), 0)
                           : std::optional<long long>(-1);
    if (error.isEmpty() && (!period || *period > 3'600'000))
        error = QStringLiteral("--period needs milliseconds from 0 to 3600000");
    if (error.isEmpty() && !count)
        error = QStringLiteral("--count needs a number of frames");
    if (!error.isEmpty()) {
        std::fprintf(stderr, "dmm-sim: %s\n", qPrintable(error));
        return kExitUsage;
    }

    std::FILE* log = nullptr;
    if (parser.isSet(QStringLiteral("log"))) {
        const QString logName = parser.value(QStringLiteral("log"));
        log = logName == QStringLiteral("-")
                  ? stdout
                  : std::fopen(QFile::encodeName(logName).constData(), "w");
        if (!log) {
            std::fprintf(stderr, "dmm-sim: cannot write %s\n", qPrintable(logName));
            return kExitFailure;
        }
    }

    SignalPipe signalPipe;
    if (!signalPipe.install()) {
        std::fprintf(stderr, "dmm-sim: cannot install the signal handlers\n");
        return kExitFailure;
    }

    PseudoTerminal terminal;
    std::string reason;
    if (!terminal.open(reason)) {
        std::fprintf(stderr, "dmm-sim: %s\n", reason.c_str());
        return kExitFailure;
    }
    DeviceLink link;
    const std::string linkPath =
        QFile::encodeName(parser.value(QStringLiteral("link"))).toStdString();
    if (!link.create(linkPath, terminal.slavePath(), reason)) {
        std::fprintf(stderr, "dmm-sim: %s\n", reason.c_str());
        return kExitFailure;
    }

    SimPlayer::Options options;
    options.periodMs = static_cast<int>(*period);
    options.once = parser.isSet(QStringLiteral("once"));
    options.maxFrames = *count;
    options.waitForReader = parser.isSet(QStringLiteral("wait-reader"));
    options.log = log;
    SimPlayer player(terminal, *steps, options);
    QObject::connect(&player, &SimPlayer::finished, &app, &QCoreApplication::quit);
    QObject::connect(&signalPipe, &SignalPipe::terminationRequested, &app, &QCoreApplication::quit);

    std::printf("%s ready\n", terminal.slavePath().c_str());
    std::fflush(stdout);
    player.start();
    const int status = app.exec();

    link.remove();
    if (log && log != stdout)
        std::fclose(log);
    return status;
}
