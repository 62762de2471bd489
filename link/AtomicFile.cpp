// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <QCoreApplication>
#include <QSaveFile>

namespace dmm {

std::optional<QString> writeFileAtomically(const QString& path, const BlockProducer& next,
                                           WriteProgress progress)
{
    QSaveFile file(path);
    // Never write the target in place: a failure half-way would leave neither
    // the old file nor the new one.
    file.setDirectWriteFallback(false);
    // Unbuffered: a failing write (a full disk) is reported by that write.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    QByteArray block;
    for (;;) {
        if (progress.cancel && progress.cancel->load()) {
            file.cancelWriting();
            return QCoreApplication::translate("AtomicFile", "Cancelled");
        }
        block.clear();
        if (!next(block))
            break;
        qint64 done = 0;
        while (done < block.size()) {
            const qint64 n = file.write(block.constData() + done, block.size() - done);
            if (n <= 0) {
                const QString reason = file.errorString();
                file.cancelWriting();
                return reason;
            }
            done += n;
        }
        if (progress.bytesWritten)
            progress.bytesWritten->fetch_add(done);
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    bool given = false;
    return writeFileAtomically(path, [&](QByteArray& block) {
        if (given)
            return false;
        block = bytes;
        given = true;
        return true;
    });
}

} // namespace dmm
