// SPDX-License-Identifier: MIT
#include "SymbolicLink.h"

#include <cerrno>
#include <unistd.h>

#include "FileChecks.h"

namespace dmm {

std::optional<QString> replaceSymbolicLink(const QString& path, const QString& target)
{
    const QByteArray name = fileNameBytes(path);
    // The process id keeps two programs linking the same name apart.
    const QByteArray temporary = name + ".new-link-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(fileNameBytes(target).constData(), temporary.constData()) != 0)
        return systemReason(errno);
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return systemReason(error);
    }
    return std::nullopt;
}

} // namespace dmm
