// SPDX-License-Identifier: MIT
// Advisory locks between programs on the files they write. A program that
// writes a recording, a temporary file or a CSV holds an exclusive flock() on
// it for as long as it writes; the kernel drops the lock when the last
// descriptor closes, also after a crash, so a file nobody holds is a leftover.
#pragma once

#include <QString>

#include <optional>

namespace dmm {

// Takes an exclusive lock on the open descriptor without waiting. False when
// another open file description holds a lock on the same file.
bool lockExclusive(int fd);

// Whether another process holds a lock on the file at `path`, exclusive or
// shared: the file is opened without blocking (a FIFO never waits for a
// writer) and an exclusive lock is tried and released at once. False for a
// missing file or one that cannot be opened.
bool isHeldByAnotherProgram(const QString& path);

// The program holding a lock on `path`, as "name (pid N)", from /proc/locks and
// /proc/N/comm; nothing when no holder can be found (another mount namespace,
// no /proc).
std::optional<QString> lockHolderName(const QString& path);

// Why `path` must not be written now: "in use by another program: dmm-log
// (pid 42)", naming the holder where it can be found; nothing when no other
// program holds the file.
std::optional<QString> heldByAnotherProgramReason(const QString& path);

// The files this program holds while it writes them (the temporary file of a
// run), each with what it is: "the temporary file of the current run". The
// lock does not tell this program from another, the registry does. Safe from
// any thread.
void registerHeldFile(const QString& path, const QString& description);
void forgetHeldFile(const QString& path);

// Why `path` must not be written now: "held by this program: DESCRIPTION"
// when it is one of the registered files (compared as files, not names:
// through links too); nothing otherwise.
std::optional<QString> heldByThisProgramReason(const QString& path);

} // namespace dmm
