// SPDX-License-Identifier: MIT
#include "ExportOutput.h"

#include <cerrno>
#include <cstdio>

#include "FileChecks.h"
#include "RecordFile.h"

namespace dmm::exporttool {

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
        const auto error = writeFileAtomically(output, next, &job);
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
