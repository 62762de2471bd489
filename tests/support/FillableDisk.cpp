// SPDX-License-Identifier: MIT
#include "FillableDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

FillableDisk::FillableDisk(const QString& folder) : m_folder(folder)
{
    std::signal(SIGXFSZ, SIG_IGN);
    m_tmpfs = ::geteuid() == 0 &&
              ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=256k") == 0;
}

FillableDisk::~FillableDisk()
{
    free();
    if (m_tmpfs)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

int FillableDisk::fullErrno() const
{
    return m_tmpfs ? ENOSPC : EFBIG;
}

void FillableDisk::fill(const QString& growing)
{
    if (m_tmpfs) {
        QFile filler(QDir(m_folder).filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) > 0) {
        }
        return;
    }
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_limited = true;
    rlimit limit = m_saved;
    limit.rlim_cur = rlim_t(QFileInfo(growing).size() + 100);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

void FillableDisk::free()
{
    if (m_tmpfs)
        QFile::remove(QDir(m_folder).filePath(QStringLiteral("filler")));
    if (m_limited)
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
    m_limited = false;
}
