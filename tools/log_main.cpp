// SPDX-License-Identifier: MIT
// dmm-log: the meter logged without a window, for long unattended runs.

#include <QCoreApplication>
#include <QDir>

#include <clocale>
#include <csignal>
#include <cstdio>

#include "LogSession.h"
#include "NumberText.h"
#include "SignalPipe.h"

using namespace dmm::logtool;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dmm-log"));
    // The meter's fixed formats need the C decimal point, whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    dmm::useLocaleDecimalSeparator();
    // A reader of standard output going away (dmm-log | head) must not end the
    // logging to the files.
    std::signal(SIGPIPE, SIG_IGN);
    ignoreFileSizeLimitSignal();

    const ParsedArguments parsed = parseLogArguments(QCoreApplication::arguments());
    if (parsed.helpRequested) {
        std::fputs(qPrintable(logHelpText()), stdout);
        return kExitOk;
    }
    if (parsed.versionRequested) {
        std::printf("dmm-log %s\n", DMM_VERSION);
        return kExitOk;
    }
    if (!parsed.options) {
        std::fprintf(stderr, parsed.usageError ? "dmm-log: %s\nTry dmm-log --help.\n" : "dmm-log: %s\n",
                     qPrintable(parsed.error));
        return kExitFailure;
    }
    const LogOptions& options = *parsed.options;
    if (!options.folder.isEmpty() && !QDir().mkpath(options.folder)) {
        std::fprintf(stderr, "dmm-log: %s: cannot make the folder\n", qPrintable(options.folder));
        return kExitFailure;
    }
    // Refused before the port is touched; the files are made only once it is open.
    for (const auto& [path, isRecordFile] :
         {std::pair{options.outPath, true}, std::pair{options.csvPath, false}}) {
        if (path.isEmpty())
            continue;
        if (const QString problem =
                outputPathProblem(path, isRecordFile, options.append, options.table);
            !problem.isEmpty()) {
            std::fprintf(stderr, "dmm-log: %s\n", qPrintable(problem));
            return kExitFailure;
        }
    }

    SignalPipe signalPipe;
    if (!signalPipe.install()) {
        std::fprintf(stderr, "dmm-log: cannot install the signal handlers\n");
        return kExitFailure;
    }
    LogSession session(options);
    QObject::connect(&session, &LogSession::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    QObject::connect(&signalPipe, &SignalPipe::terminationRequested, &session,
                     [&session] { session.stop(kExitOk); });
    if (const int status = session.start(); status != kExitOk)
        return status;
    return app.exec();
}
