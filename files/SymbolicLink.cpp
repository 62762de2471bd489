// SPDX-License-Identifier: MIT
#include "SymbolicLink.h"

#include <QRandomGenerator>

#include <cerrno>
#include <unistd.h>

#include "FileChecks.h"

namespace dmm {

namespace {

// "<name>.new-link-" and six random letters or digits, as mkstemp makes them.
QByteArray randomSiblingName(const QByteArray& name)
{
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray sibling = name + ".new-link-";
    for (int i = 0; i < 6; ++i)
        sibling += kLetters[QRandomGenerator::system()->bounded(int(sizeof kLetters) - 1)];
    return sibling;
}

} // namespace

std::optional<QString> replaceSymbolicLink(const QString& path, const QString& target)
{
    const QByteArray name = fileNameBytes(path);
    const QByteArray targetName = fileNameBytes(target);
    // symlink() never overwrites: a name someone already has (another
    // program's link in the making, a user's file) is left alone and another
    // name is tried, as mkstemp does for files.
    constexpr int kAttempts = 100;
    QByteArray temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt) {
        temporary = randomSiblingName(name);
        error = ::symlink(targetName.constData(), temporary.constData()) == 0 ? 0 : errno;
    }
    if (error != 0)
        return systemReason(error);
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.constData());
        return systemReason(renameError);
    }
    return std::nullopt;
}

} // namespace dmm
