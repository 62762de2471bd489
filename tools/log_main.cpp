// SPDX-License-Identifier: MIT
// dmm-log: the meter logged without a window, for long unattended runs.

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>

#include <sys/stat.h>

#include "FileChecks.h"
#include "LogSession.h"
#include "MultiLogSession.h"
#include "NumberText.h"
#include "SignalPipe.h"

using namespace dmm::logtool;
using dmm::fileNameBytes;
using dmm::fileNameText;

namespace {

// Makes the folder and the folders above it that are missing; the system's
// reason when one cannot be made ("Permission denied", "Not a directory").
QString folderProblem(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir().absoluteFilePath(folder));
    for (qsizetype end = path.indexOf(u'/', 1);; end = path.indexOf(u'/', end + 1)) {
        const QString part = end == -1 ? path : path.left(end);
        if (::mkdir(fileNameBytes(part).constData(), 0777) != 0 && errno != EEXIST)
            return part + QStringLiteral(": ") + dmm::systemReason(errno);
        if (end == -1)
            break;
    }
    if (!dmm::isFolder(path))
        return path + QStringLiteral(": not a folder");
    return {};
}

} // namespace

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

    // The names as the system gave them: QCoreApplication::arguments() turns
    // a byte that is no UTF-8 into U+FFFD, and another file would be written.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameText(argv[i]);
    const ParsedArguments parsed = parseLogArguments(arguments);
    if (parsed.helpRequested) {
        std::fputs(qPrintable(logHelpText()), stdout);
        return kExitOk;
    }
    if (parsed.versionRequested) {
        std::printf("dmm-log %s\n", DMM_VERSION);
        return kExitOk;
    }
    if (!parsed.options) {
        std::fprintf(stderr,
                     parsed.usageError ? "dmm-log: %s\nTry dmm-log --help.\n" : "dmm-log: %s\n",
                     fileNameBytes(parsed.error).constData());
        return kExitFailure;
    }
    const LogOptions& options = *parsed.options;
    if (!options.folder.isEmpty()) {
        if (const QString problem = folderProblem(options.folder); !problem.isEmpty()) {
            std::fprintf(stderr, "dmm-log: %s: cannot make the folder (%s)\n",
                         fileNameBytes(options.folderSource).constData(),
                         fileNameBytes(problem).constData());
            return kExitFailure;
        }
    }
    // Refused before the port is touched; the files are made only once it is open.
    if (const QString problem = outputsProblem(options); !problem.isEmpty()) {
        std::fprintf(stderr, "dmm-log: %s\n", fileNameBytes(problem).constData());
        return kExitFailure;
    }

    if (!options.statsPath.isEmpty()) {
        if (const QString problem = statsPathProblem(options); !problem.isEmpty()) {
            std::fprintf(stderr, "dmm-log: %s\n", fileNameBytes(problem).constData());
            return kExitFailure;
        }
    }

    SignalPipe signalPipe;
    if (!signalPipe.install()) {
        std::fprintf(stderr, "dmm-log: cannot install the signal handlers\n");
        return kExitFailure;
    }
    // One meter exactly as ever; several side by side.
    const auto run = [&](auto& session) {
        using Session = std::remove_reference_t<decltype(session)>;
        QObject::connect(&session, &Session::finished, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        QObject::connect(&signalPipe, &SignalPipe::terminationRequested, &session,
                         [&session] { session.stop(kExitOk); });
        if (const int status = session.start(); status != kExitOk)
            return status;
        return app.exec();
    };
    if (options.meters.size() > 1) {
        MultiLogSession session(options);
        return run(session);
    }
    LogSession session(options);
    return run(session);
}
