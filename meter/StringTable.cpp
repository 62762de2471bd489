// SPDX-License-Identifier: MIT
#include "StringTable.h"

#include <QFile>
#include <QHash>
#include <QTextStream>

namespace dmm {

namespace {

// strings.tsv: one entry per line, "number<TAB>text"; "\n" in a text is a line break.
QHash<int, QString> loadTable()
{
    QHash<int, QString> table;
    QFile file(QStringLiteral(":/strings/strings.tsv"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return table;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0 || line.startsWith(QLatin1Char('#')))
            continue;
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok)
            table.insert(id,
                         line.mid(tab + 1).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    }
    return table;
}

const QHash<int, QString>& table()
{
    static const QHash<int, QString> strings = loadTable();
    return strings;
}

} // namespace

QString tableString(int id)
{
    return table().value(id);
}

bool hasTableString(int id)
{
    return table().contains(id);
}

QString fillNumbers(QString format, std::initializer_list<long long> numbers)
{
    for (const long long number : numbers) {
        const auto at = format.indexOf(QStringLiteral("%d"));
        if (at < 0)
            break;
        format.replace(at, 2, QString::number(number));
    }
    return format;
}

QString messageCaption(int captionId, int messageId)
{
    // The caption entries hold one "%d"; fill it with the message's own number.
    return fillNumbers(tableString(captionId), {messageId});
}

} // namespace dmm
