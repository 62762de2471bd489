// SPDX-License-Identifier: MIT
// The one writer of whole files (recordings, exports, pictures, settings):
// the bytes go to a temporary file beside the target that replaces it only
// once every byte is written and synced, so a failure or a power cut leaves
// the old file as it was. A symbolic link stays: the file it names is
// replaced, or made where a dangling link points. A character device (a null
// device) takes the bytes directly; a FIFO, a socket or a folder is refused,
// and so is a file a program (this one included) holds a lock on while it
// writes it.
//
// The temporary file is named after the target: its name, cut where needed
// to leave room within the folder's limit on a name, a '.' and eight
// hexadecimal digits ("run.g52.0a1b2c3d"). It is locked while it is written;
// one a killed write left behind is removed by the next write of the target.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include "JobControl.h"

namespace dmm {

// Fills `block` (emptied by the caller first) with the next bytes of the file
// and returns true, or returns false when there is nothing more to write.
using BlockProducer = std::function<bool(QByteArray& block)>;

// Writes the blocks `next` produces as the whole file `path`. Returns the
// reason (the system's, where there is one) when anything fails or the write
// was cancelled; a regular target is then unchanged. A producer whose input
// failed sets the cancel flag: whether it then returns true or false, the
// write is cancelled. `job` (optional) counts the bytes written. Where the folder refuses
// a temporary file the write fails: it never writes the target in place.
std::optional<QString> writeFileAtomically(const QString& path, const BlockProducer& next,
                                           JobControl* job = nullptr);

// The same rules for a file a library writes itself by name: `write` gets the
// temporary file's name (made, locked and emptied here) and writes the whole
// file under it, returning the reason when it fails; only then is the target
// replaced. A character device or a FIFO target is refused.
using NamedFileWriter = std::function<std::optional<QString>(const QString& temporary)>;
std::optional<QString> replaceFileAtomically(const QString& path, const NamedFileWriter& write);

// A producer of `bytes` as the one block of a file.
BlockProducer singleBlock(QByteArray bytes);

// The same for bytes already in memory.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace dmm
