// SPDX-License-Identifier: MIT
// The table as an .xlsx workbook, read back by openpyxl: typed cells, empty
// overloads, UTF-8 units, the next-sheet split and the Summary's figures per
// function.
#include <QtTest>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <ctime>

#include "RecordBuffer.h"
#include "TableExport.h"
#include "XlsxTable.h"

using namespace dmm;

namespace {

TARecord reading(int function, const char* value, const char* prefix, float stored,
                 const char* time)
{
    TARecord record;
    record.function = function;
    record.display = value;
    record.value = value;
    record.prefix = prefix;
    record.fValue = stored;
    record.timeStamp = time;
    return record;
}

// Every sheet's rows as "sheet|cell;cell;...": d: date-time, n: number, s: text.
const char* const kReadBack =
    "import sys, datetime, openpyxl\n"
    "book = openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
    "for sheet in book.worksheets:\n"
    "    for row in sheet.iter_rows(values_only=True):\n"
    "        cells = []\n"
    "        for v in row:\n"
    "            if v is None: cells.append('')\n"
    "            elif isinstance(v, datetime.datetime): "
    "cells.append('d:' + v.isoformat(timespec='milliseconds'))\n"
    "            elif isinstance(v, (int, float)): cells.append('n:%.10g' % v)\n"
    "            else: cells.append('s:' + v)\n"
    "        print(sheet.title + '|' + ';'.join(cells))\n";

// A python3 with openpyxl: Debian's first, as python3-openpyxl installs for
// it, not for another python3 that may come first on the PATH. Empty: none.
QString pythonWithOpenpyxl()
{
    for (const QStringList& paths : {QStringList{"/usr/bin"}, QStringList{}}) {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), paths);
        if (!python.isEmpty() && QProcess::execute(python, {"-c", "import openpyxl"}) == 0)
            return python;
    }
    return {};
}

// The workbook's rows as kReadBack prints them; empty where it fails.
QStringList readBack(const QString& python, const QString& path)
{
    QProcess process;
    process.start(python, {"-c", kReadBack, path});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {QString::fromUtf8(process.readAllStandardError())};
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestXlsx : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void workbookReadsBackTyped();
    void utcTimesFromTwoZones_data();
    void utcTimesFromTwoZones();
    void failedWriteLeavesTheOldFile();

private:
    QString m_python;
    QTemporaryDir m_dir;
};

void TestXlsx::initTestCase()
{
    m_python = pythonWithOpenpyxl();
}

void TestXlsx::workbookReadsBackTyped()
{
    if (m_python.isEmpty())
        QSKIP("python3-openpyxl is not installed");
    RecordBuffer buffer;
    buffer.append(reading(6, "1.234", "", 1.234f, " 23:59:59.0  "));
    buffer.append(reading(128, "O.L", "K", 9900.0f, " 23:59:59.5  "));
    buffer.append(reading(32, "23.5", "", 23.5f, "  0:00:00.0  "));
    buffer.append(reading(6, "3.000", "", 3.0f, "  0:00:00.5  "));
    buffer.append(reading(8, "23.99", "n", 0.02399f, "  0:00:01.0  "));
    buffer.append(reading(5, "0.500", "", 0.5f, "  0:00:01.5  "));
    buffer.append(reading(0, "1.000", "", 1.0f, "  0:00:02.0  "));
    QTemporaryDir dir;
    const QString path = dir.filePath("run.xlsx");
    XlsxTableResult result;
    RecordRuns records(buffer);
    QVERIFY(!writeXlsxTable(path, false, QDate(2026, 12, 7), records, nullptr, &result, 3));
    QCOMPARE(result.rows, 7);
    const QString head = "|s:time;s:value;s:unit;s:display;s:subdisplay";
    QCOMPARE(readBack(m_python, path),
             QStringList({
                 "Table" + head,
                 "Table|d:2026-12-07T23:59:59.000;n:1.234;s:V;s:1.234;",
                 "Table|d:2026-12-07T23:59:59.500;;s:\u03A9;s:O.LK;",
                 "Table|d:2026-12-08T00:00:00.000;n:23.5;s:\u00B0C;s:23.5;",
                 "Table 2" + head,
                 "Table 2|d:2026-12-08T00:00:00.500;n:3;s:V;s:3.000;",
                 "Table 2|d:2026-12-08T00:00:01.000;n:2.399e-08;s:F;s:23.99n;",
                 "Table 2|d:2026-12-08T00:00:01.500;n:0.5;s:V;s:0.500;",
                 "Table 3" + head,
                 "Table 3|d:2026-12-08T00:00:02.000;n:1;;s:1.000;",
                 "Summary|s:function;s:values;s:overloads;s:minimum;s:maximum;s:mean;"
                 "s:standard deviation;s:first time;s:last time",
                 "Summary|s:DC V;n:2;n:0;n:1.234;n:3;n:2.117;n:1.248750576;"
                 "d:2026-12-07T23:59:59.000;d:2026-12-08T00:00:00.500",
                 "Summary|s:\u03A9;n:0;n:1;;;;;d:2026-12-07T23:59:59.500;"
                 "d:2026-12-07T23:59:59.500",
                 "Summary|s:\u00B0C;n:1;n:0;n:23.5;n:23.5;n:23.5;;"
                 "d:2026-12-08T00:00:00.000;d:2026-12-08T00:00:00.000",
                 "Summary|s:F;n:1;n:0;n:2.399e-08;n:2.399e-08;n:2.399e-08;;"
                 "d:2026-12-08T00:00:01.000;d:2026-12-08T00:00:01.000",
                 "Summary|s:AC V;n:1;n:0;n:0.5;n:0.5;n:0.5;;"
                 "d:2026-12-08T00:00:01.500;d:2026-12-08T00:00:01.500",
                 "Summary|s:no unit;n:1;n:0;n:1;n:1;n:1;;"
                 "d:2026-12-08T00:00:02.000;d:2026-12-08T00:00:02.000",
             }));
}

void TestXlsx::utcTimesFromTwoZones_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("time");
    QTest::newRow("Tokyo") << QByteArray("Asia/Tokyo") << "2026-12-07T14:59:59.000";
    QTest::newRow("New York") << QByteArray("America/New_York") << "2026-12-08T04:59:59.000";
}

// 23:59:59 local on 2026-12-07, without a stamp, in UTC.
void TestXlsx::utcTimesFromTwoZones()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, time);
    if (m_python.isEmpty())
        QSKIP("python3-openpyxl is not installed");
    qputenv("TZ", zone);
    ::tzset();
    RecordBuffer buffer;
    buffer.append(reading(6, "1.234", "", 1.234f, " 23:59:59.0  "));
    const QString path = m_dir.filePath(QString::fromLatin1(zone).replace('/', '-') + ".xlsx");
    RecordRuns records(buffer);
    QVERIFY(!writeXlsxTable(path, true, QDate(2026, 12, 7), records, nullptr, nullptr));
    const QStringList rows = readBack(m_python, path);
    QCOMPARE(rows.value(0), "Table|s:time (UTC);s:value;s:unit;s:display;s:subdisplay");
    QCOMPARE(rows.value(1), "Table|d:" + time + ";n:1.234;s:V;s:1.234;");
    QVERIFY2(rows.value(2).endsWith(";s:first time (UTC);s:last time (UTC)"),
             qPrintable(rows.value(2)));
}

void TestXlsx::failedWriteLeavesTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.xlsx");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    RecordBuffer buffer;
    buffer.append(reading(6, "1.234", "", 1.234f, " 23:59:59.0  "));
    JobControl job;
    job.cancel = true;
    RecordRuns records(buffer);
    QVERIFY(writeXlsxTable(path, false, QDate(2026, 12, 7), records, &job, nullptr));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"run.xlsx"});
}

QTEST_GUILESS_MAIN(TestXlsx)
#include "tst_xlsx.moc"
