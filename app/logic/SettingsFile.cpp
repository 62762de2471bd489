// SPDX-License-Identifier: MIT
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <optional>

#include "AtomicFile.h"
#include "NumberText.h"
#include "StringTable.h"

namespace dmm {

namespace {

// The value of the first line "name=value", the name in any case (the file is
// edited by hand: "IPORT=3" means iPort); an empty text when there is none.
QString valueOf(const QStringList& lines, const QString& name)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

std::optional<double> parseLimit(const QString& text)
{
    const std::string s = text.toStdString();
    if (auto v = parseDecimal(s, decimalSeparator()))
        return v;
    return parseDecimal(s, '.');
}

} // namespace

QString settingsFilePath(const QString& startupDirectory)
{
    // The table holds the name as "\MLQDL.ini"; the separator is the platform's.
    QString name = tableString(kStrSettingsFile);
    while (name.startsWith(QLatin1Char('\\')) || name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("MLQDL.ini");
    return QDir::cleanPath(startupDirectory + QLatin1Char('/') + name);
}

Settings parseSettings(const QStringList& lines)
{
    Settings fallback = kFallbackSettings;
    fallback.bNotifyDesktop = valueOf(lines, QStringLiteral("bNotifyDesktop")).trimmed() == u"1";
    const auto port = parseInteger(valueOf(lines, QStringLiteral("iPort")).toStdString());
    if (!port)
        return fallback;
    const auto hi = parseLimit(valueOf(lines, QStringLiteral("fHiLimit")));
    if (!hi)
        return fallback;
    const auto low = parseLimit(valueOf(lines, QStringLiteral("fLowLimit")));
    if (!low)
        return fallback;
    return Settings{*port, *hi, *low, fallback.bNotifyDesktop};
}

Settings readSettingsFile(const QString& path)
{
    // Only a regular file: a FIFO or a device of that name would block the
    // start-up in the open or the read. The three lines are short, so only the
    // head of an oversized file is read.
    if (!QFileInfo(path).isFile())
        return kFallbackSettings;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return kFallbackSettings;
    const QByteArray head = file.read(kSettingsReadLimit);
    QStringList lines;
    QTextStream in(head);
    while (!in.atEnd())
        lines << in.readLine();
    return parseSettings(lines);
}

QStringList settingsLines(const Settings& settings)
{
    QStringList lines{
        QStringLiteral("iPort=") + QString::number(settings.iPort),
        QStringLiteral("fHiLimit=") + QString::fromStdString(formatGeneral(settings.fHiLimit)),
        QStringLiteral("fLowLimit=") + QString::fromStdString(formatGeneral(settings.fLowLimit))};
    if (settings.bNotifyDesktop)
        lines << QStringLiteral("bNotifyDesktop=1");
    return lines;
}

bool writeSettingsFile(const QString& path, const Settings& settings, QString* error)
{
    QByteArray text;
    for (const QString& line : settingsLines(settings))
        text += line.toUtf8() + '\n';
    const auto reason = writeFileAtomically(path, text);
    if (reason && error)
        *error = *reason;
    return !reason;
}

} // namespace dmm
