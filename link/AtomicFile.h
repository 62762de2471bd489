// SPDX-License-Identifier: MIT
// The one writer of whole files (recordings, exports, pictures, settings):
// the bytes go to a temporary file beside the target that replaces it only
// once every byte is written, so a failure leaves the old file as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace dmm {

// Fills `block` (emptied by the caller first) with the next bytes of the file
// and returns true, or returns false when there is nothing more to write.
using BlockProducer = std::function<bool(QByteArray& block)>;

struct WriteProgress
{
    // Set by another thread to stop the write; the target is left untouched.
    const std::atomic<bool>* cancel = nullptr;
    // Bytes written so far, for a progress window on another thread.
    std::atomic<qint64>* bytesWritten = nullptr;
};

// Writes the blocks `next` produces as the whole file `path`. Returns the
// reason (the system's, where there is one) when anything fails or the write
// was cancelled; the target is then unchanged.
std::optional<QString> writeFileAtomically(const QString& path, const BlockProducer& next,
                                           WriteProgress progress = {});

// The same for bytes already in memory.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace dmm
