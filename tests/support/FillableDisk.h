// SPDX-License-Identifier: MIT
// A folder whose free space a test takes away and gives back: a small tmpfs
// mounted on it where the test may mount one (as root), else a file-size
// limit on the test's own process (with SIGXFSZ ignored, a write past the
// limit fails with EFBIG instead of killing the test).
#pragma once

#include <QString>

#include <sys/resource.h>

class FillableDisk
{
public:
    explicit FillableDisk(const QString& folder);
    ~FillableDisk();
    FillableDisk(const FillableDisk&) = delete;
    FillableDisk& operator=(const FillableDisk&) = delete;

    // The errno a write gets once the disk is full.
    int fullErrno() const;
    // No room left, except that `growing` may take part of one more record.
    void fill(const QString& growing);
    void free();

private:
    QString m_folder;
    bool m_tmpfs = false;
    bool m_limited = false;
    rlimit m_saved{};
};
