// SPDX-License-Identifier: MIT
// The one writer of whole files (recordings, exports, pictures, settings):
// the bytes go to a temporary file beside the target that replaces it only
// once every byte is written and synced, so a failure or a power cut leaves
// the old file as it was. A character device (a null device) takes the bytes
// directly; a FIFO, a socket or a folder is refused, and so is a file another
// program holds a lock on while it writes it.
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
// was cancelled; a regular target is then unchanged. Where the folder refuses
// a temporary file the write fails: it never writes the target in place.
std::optional<QString> writeFileAtomically(const QString& path, const BlockProducer& next,
                                           WriteProgress progress = {});

// The same for bytes already in memory.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace dmm
