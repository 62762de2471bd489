// SPDX-License-Identifier: MIT
#include "ExportOutput.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include "FileChecks.h"
#include "RecordFile.h"

namespace dmm::exporttool {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free &&
                  std::atomic<JobControl*>::is_always_lock_free,
              "the signal handler stores to lock-free atomics only");

std::atomic<JobControl*> g_stoppedJob{nullptr};
volatile std::sig_atomic_t g_stopSignal = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[2];

extern "C" void onStopSignal(int signal)
{
    g_stopSignal = signal;
    if (JobControl* job = g_stoppedJob.load())
        job->cancel.store(true);
}

} // namespace

StopOnSignals::StopOnSignals(JobControl& job)
{
    g_stopSignal = 0;
    g_stoppedJob.store(&job);
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored when the program started (a background job of a
    // script) stays ignored.
    for (int i = 0; i < 2; ++i)
        if (::sigaction(kStopSignals[i], nullptr, &g_previous[i]) == 0 &&
            g_previous[i].sa_handler != SIG_IGN)
            ::sigaction(kStopSignals[i], &action, nullptr);
}

StopOnSignals::~StopOnSignals()
{
    for (int i = 0; i < 2; ++i)
        ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
    g_stoppedJob.store(nullptr);
}

std::optional<int> StopOnSignals::reportStop(const QString& output) const
{
    if (g_stopSignal == 0)
        return std::nullopt;
    return failure(output + QStringLiteral(": not written, stopped by %1 (an existing file is "
                                           "left as it was)")
                                .arg(g_stopSignal == SIGINT ? QStringLiteral("SIGINT")
                                                            : QStringLiteral("SIGTERM")));
}

int failure(const QString& message)
{
    // A file name's bytes as they are, also where they are no UTF-8.
    std::fprintf(stderr, "dmm-export: %s\n", fileNameBytes(message).constData());
    return 1;
}

QString truncationReason(const RecordFileReader& reader)
{
    return reader.errorString().isEmpty()
               ? QStringLiteral("the file ended before its size promised")
               : reader.errorString();
}

bool writeStdout(const QByteArray& bytes, QString* error)
{
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
        static_cast<std::size_t>(bytes.size()))
        return true;
    *error = systemReason(errno);
    return false;
}

bool flushStdout(QString* error)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    *error = systemReason(errno);
    return false;
}

int writeOutput(const QString& output, const BlockProducer& next, JobControl& job,
                const std::function<QString()>& inputFailure)
{
    if (!output.isEmpty()) {
        const StopOnSignals stop(job);
        const auto error = writeFileAtomically(output, next, &job);
        if (const auto stopped = error ? stop.reportStop(output) : std::nullopt)
            return *stopped;
        if (job.cancel)
            return failure(inputFailure());
        return error ? failure(output + QStringLiteral(": ") + *error) : 0;
    }
    QString writeError;
    QByteArray block;
    bool written = true;
    // A block given with the cancel is not the recording's: it stays unwritten.
    // truncate(0) keeps the block's memory for the next one.
    for (; written && next(block) && !job.cancel; block.truncate(0))
        written = writeStdout(block, &writeError);
    if (job.cancel)
        return failure(inputFailure());
    if (!written || !flushStdout(&writeError))
        return failure(QStringLiteral("standard output: ") + writeError);
    return 0;
}

} // namespace dmm::exporttool
