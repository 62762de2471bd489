// SPDX-License-Identifier: MIT
// The recorder's files: record size by name, counts from file sizes, round
// trips, damaged and shrinking files, and saves that fail without harming the
// file they were to replace.
#include <QtTest>

#include "FileBytes.h"
#include "RecordFile.h"

#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <limits>
#include <sys/resource.h>

using namespace dmm;

namespace {

TARecord makeRecord(int i, const char* subDisplay = "")
{
    TARecord r;
    r.display = QByteArray::number(1.0 + i / 1000.0, 'f', 3).toStdString();
    r.exponent = "-3";
    r.function = (i % 2) ? 128 : 514;
    r.timeStamp = formatTimeStamp(i % 24, i % 60, (i / 60) % 60, (i * 7) % 1000);
    r.value = r.display.str();
    r.prefix = (i % 2) ? "K" : "m";
    r.unit = (i % 2) ? "W" : "A";
    r.fValue = 0.001f * float(i) - 2.5f;
    r.subDisplay = subDisplay;
    return r;
}

RecordBuffer makeBuffer(int count)
{
    RecordBuffer buffer;
    for (int i = 0; i < count; ++i)
        buffer.append(makeRecord(i, i == 1 ? "12" : ""));
    return buffer;
}

// Raw file content: `count` records in the 76- or 68-byte layout, then
// `extra` stray bytes.
QByteArray fileBytes(int count, int recordSize, int extra = 0)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const TARecord r = makeRecord(i, "9.9");
        if (recordSize == 68) {
            const auto b = encodeRecord(r);
            bytes.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        } else {
            const auto b = encodeARecord(r);
            bytes.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        }
    }
    bytes.append(QByteArray(extra, '\x55'));
    return bytes;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT
private slots:
    void recordSizeFromTheNameOnly_data();
    void recordSizeFromTheNameOnly();
    void countFromTheFileSize_data();
    void countFromTheFileSize();
    void savedRecordsReadBackTheSame();
    void nonFiniteValuesLoadAsStored_data();
    void nonFiniteValuesLoadAsStored();
    void garbageStaysInsideItsFields();
    void readsInSlicesAcrossBlocks();
    void fileShrinkingWhileReadEndsWithWholeRecords();
    void unopenableFilesReportWhy_data();
    void unopenableFilesReportWhy();
    void failedSaveReportsAndLeavesTheTarget_data();
    void failedSaveReportsAndLeavesTheTarget();
    void writeFailureKeepsTheOldFile();
    void saveReplacesAnExistingFile();
    void emptyBufferSavesAnEmptyFile();

    void bigBufferIsEmptied();

private:
    QTemporaryDir m_dir;
};

void TestRecordFile::recordSizeFromTheNameOnly_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("g52") << "/data/run.g52" << 76;
    QTest::newRow("g51") << "/data/run.g51" << 68;
    QTest::newRow("upper-case G51") << "/data/DATA.G51" << 76;
    QTest::newRow("mixed-case G51") << "/data/run.G51" << 76;
    QTest::newRow("g51 inside the name") << "/data/run.g51.bak" << 68;
    QTest::newRow("temporary file") << "/data/DMM0001.TMP" << 76;
    QTest::newRow("g52 in a folder named .g51") << "/data/runs.g51/day.g52" << 76;
    QTest::newRow("g51 in a folder named .g51") << "/data/runs.g51/old.g51" << 68;
    QTest::newRow("relative g51") << "old.g51" << 68;
    QTest::newRow("no name") << "/data/runs.g51/" << 76;
}

void TestRecordFile::recordSizeFromTheNameOnly()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    QCOMPARE(recordSizeForFile(path), size);
}

void TestRecordFile::countFromTheFileSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("layout"); // the layout the records were written in
    QTest::newRow("g52 of 152 bytes") << "a.g52" << fileBytes(2, 76) << 2 << 76;
    QTest::newRow("g52 of 160 bytes") << "b.g52" << fileBytes(2, 76, 8) << 2 << 76;
    QTest::newRow("g52 of 75 bytes") << "c.g52" << fileBytes(0, 76, 75) << 0 << 76;
    QTest::newRow("empty g52") << "d.g52" << QByteArray() << 0 << 76;
    QTest::newRow("g51 of 136 bytes") << "e.g51" << fileBytes(2, 68) << 2 << 68;
    QTest::newRow("g51 of 140 bytes") << "f.g51" << fileBytes(2, 68, 4) << 2 << 68;
    QTest::newRow("DATA.G51 holds 76-byte records") << "DATA.G51" << fileBytes(2, 76) << 2 << 76;
    QTest::newRow("g52 in a folder named x.g51") << "x.g51/run.g52" << fileBytes(3, 76) << 3 << 76;
    QTest::newRow("temporary file") << "DMM0001.TMP" << fileBytes(4, 76, 1) << 4 << 76;
}

void TestRecordFile::countFromTheFileSize()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(int, layout);
    const QString path = m_dir.filePath(name);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(writeFile(path, bytes));

    RecordBuffer buffer;
    buffer.append(TARecord()); // emptied by the read
    QString error;
    QVERIFY2(readRecordFile(path, buffer, &error), qPrintable(error));
    QCOMPARE(buffer.size(), std::size_t(count));
    for (int i = 0; i < count; ++i) {
        TARecord expected = makeRecord(i, layout == 68 ? "" : "9.9");
        QCOMPARE(buffer.at(i), expected);
        if (layout == 68)
            QVERIFY(buffer.at(i).subDisplay.empty());
    }
}

void TestRecordFile::savedRecordsReadBackTheSame()
{
    const RecordBuffer saved = makeBuffer(3);
    const QString path = m_dir.filePath("three.g52");
    QString error;
    QVERIFY2(saveRecordFile(path, saved, &error), qPrintable(error));
    QCOMPARE(QFileInfo(path).size(), qint64(228));

    RecordBuffer loaded;
    QVERIFY(readRecordFile(path, loaded, &error));
    QCOMPARE(loaded.size(), std::size_t(3));
    for (std::size_t i = 0; i < 3; ++i) {
        QCOMPARE(loaded.at(i).display.str(), saved.at(i).display.str());
        QCOMPARE(loaded.at(i).timeStamp.str(), saved.at(i).timeStamp.str());
        QCOMPARE(loaded.at(i).function, saved.at(i).function);
        QCOMPARE(loaded.at(i).fValue, saved.at(i).fValue);
        QCOMPARE(loaded.at(i), saved.at(i));
    }
    QCOMPARE(loaded.at(1).subDisplay.str(), std::string("12"));
}

void TestRecordFile::nonFiniteValuesLoadAsStored_data()
{
    QTest::addColumn<float>("value");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("+infinity") << std::numeric_limits<float>::infinity();
    QTest::newRow("-infinity") << -std::numeric_limits<float>::infinity();
    QTest::newRow("denormal") << std::numeric_limits<float>::denorm_min();
}

void TestRecordFile::nonFiniteValuesLoadAsStored()
{
    QFETCH(float, value);
    TARecord r = makeRecord(0);
    r.fValue = value;
    const auto bytes = encodeARecord(r);
    const QString path = m_dir.filePath("odd-values.g52");
    QVERIFY(writeFile(path, QByteArray(reinterpret_cast<const char*>(bytes.data()), 76)));

    RecordBuffer loaded;
    QVERIFY(readRecordFile(path, loaded));
    QCOMPARE(loaded.size(), std::size_t(1));
    QCOMPARE(std::memcmp(&loaded.at(0).fValue, &value, sizeof value), 0);
}

void TestRecordFile::garbageStaysInsideItsFields()
{
    // No terminators anywhere: each text ends at its field's end.
    QByteArray bytes(76 * 5 + 13, '\xff');
    for (int i = 0; i < bytes.size(); i += 7)
        bytes[i] = char('A' + i % 26);
    const QString path = m_dir.filePath("garbage.g52");
    QVERIFY(writeFile(path, bytes));

    RecordBuffer loaded;
    QVERIFY(readRecordFile(path, loaded));
    QCOMPARE(loaded.size(), std::size_t(5));
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        const TARecord& r = loaded.at(i);
        QCOMPARE(r.display.view().size(), std::size_t(8));
        QCOMPARE(r.timeStamp.view().size(), std::size_t(16));
        QCOMPARE(r.subDisplay.view().size(), std::size_t(8));
    }
}

void TestRecordFile::readsInSlicesAcrossBlocks()
{
    const int total = int(RecordFileReader::kBlockRecords) * 2 + 123;
    const RecordBuffer saved = makeBuffer(total);
    const QString path = m_dir.filePath("big.g52");
    QVERIFY(saveRecordFile(path, saved));

    RecordFileReader reader;
    QString error;
    QVERIFY(reader.open(path, &error));
    QCOMPARE(reader.recordCount(), qint64(total));
    QCOMPARE(reader.recordSize(), 76);
    RecordBuffer loaded;
    int slices = 0;
    while (!reader.atEnd()) {
        const qint64 n = reader.readSome(loaded, 1000);
        QVERIFY(n > 0 && n <= 1000);
        QCOMPARE(reader.recordsRead(), qint64(loaded.size()));
        ++slices;
    }
    QCOMPARE(slices, (total + 999) / 1000);
    QVERIFY(!reader.truncated());
    QVERIFY(!reader.isOpen()); // closed once everything is read
    QCOMPARE(reader.readSome(loaded, 1000), qint64(0));
    QCOMPARE(loaded.size(), std::size_t(total));
    for (int i : {0, 1, int(RecordFileReader::kBlockRecords) - 1,
                  int(RecordFileReader::kBlockRecords), total - 1})
        QCOMPARE(loaded.at(i), saved.at(i));
}

void TestRecordFile::fileShrinkingWhileReadEndsWithWholeRecords()
{
    const QString path = m_dir.filePath("shrinking.g52");
    QVERIFY(writeFile(path, fileBytes(10, 76)));
    RecordFileReader reader;
    QVERIFY(reader.open(path));
    QCOMPARE(reader.recordCount(), qint64(10));
    // Another program cuts the file in the middle of its fifth record.
    QVERIFY(QFile::resize(path, 76 * 4 + 30));

    RecordBuffer loaded;
    QCOMPARE(reader.readSome(loaded, 100), qint64(4));
    QVERIFY(reader.atEnd());
    QVERIFY(reader.truncated());
    QCOMPARE(reader.recordCount(), qint64(4));
    QCOMPARE(loaded.size(), std::size_t(4));
    QCOMPARE(loaded.at(3), makeRecord(3, "9.9"));
}

void TestRecordFile::unopenableFilesReportWhy_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << m_dir.filePath("missing.g52");
    QTest::newRow("a directory") << m_dir.path();
}

void TestRecordFile::unopenableFilesReportWhy()
{
    QFETCH(QString, path);
    RecordBuffer buffer = makeBuffer(2);
    QString error;
    QVERIFY(!readRecordFile(path, buffer, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(buffer.size(), std::size_t(2)); // untouched
    RecordFileReader reader;
    QVERIFY(!reader.open(path));
    QCOMPARE(reader.recordCount(), qint64(0));
    QVERIFY(reader.atEnd());
}

void TestRecordFile::failedSaveReportsAndLeavesTheTarget_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("obstacle"); // "file" or "dir" made at the obstacle path first
    QTest::addColumn<QString>("obstaclePath");
    QTest::newRow("folder does not exist")
        << m_dir.filePath("nowhere/run.g52") << QString() << QString();
    QTest::newRow("folder is a file")
        << m_dir.filePath("plain/run.g52") << "file" << m_dir.filePath("plain");
    QTest::newRow("target is a folder")
        << m_dir.filePath("taken.g52") << "dir" << m_dir.filePath("taken.g52");
    QTest::newRow("kernel interface") << "/proc/self/run.g52" << QString() << QString();
}

void TestRecordFile::failedSaveReportsAndLeavesTheTarget()
{
    QFETCH(QString, path);
    QFETCH(QString, obstacle);
    QFETCH(QString, obstaclePath);
    if (obstacle == QLatin1String("file"))
        QVERIFY(writeFile(obstaclePath, "not a folder"));
    else if (obstacle == QLatin1String("dir"))
        QVERIFY(QDir().mkpath(obstaclePath));

    QString error;
    QVERIFY(!saveRecordFile(path, makeBuffer(3), &error));
    QVERIFY(!error.isEmpty());
    if (obstacle == QLatin1String("file"))
        QCOMPARE(readFile(obstaclePath), QByteArray("not a folder"));
    else if (obstacle == QLatin1String("dir"))
        QVERIFY(QFileInfo(obstaclePath).isDir());
    else
        QVERIFY(!QFileInfo::exists(path));
}

void TestRecordFile::writeFailureKeepsTheOldFile()
{
    // A file-size limit makes the writes fail the way a full disk does, for
    // root as well.
    const QString path = m_dir.filePath("keep.g52");
    const QByteArray old = fileBytes(1, 76);
    QVERIFY(writeFile(path, old));

    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    QString error;
    const bool ok = saveRecordFile(path, makeBuffer(3), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!ok);
    // The system's reason, not a placeholder.
    QVERIFY2(!error.isEmpty() && error != QLatin1String("Unknown error"), qPrintable(error));
    QCOMPARE(readFile(path), old);
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({"keep*"}, QDir::Files), QStringList{"keep.g52"});
}

void TestRecordFile::saveReplacesAnExistingFile()
{
    const QString path = m_dir.filePath("replace.g52");
    QVERIFY(writeFile(path, fileBytes(5, 76, 3)));
    QVERIFY(saveRecordFile(path, makeBuffer(2)));
    QCOMPARE(QFileInfo(path).size(), qint64(152));
    RecordBuffer loaded;
    QVERIFY(readRecordFile(path, loaded));
    QCOMPARE(loaded.size(), std::size_t(2));
    QCOMPARE(loaded.at(1), makeRecord(1, "12"));
}

void TestRecordFile::emptyBufferSavesAnEmptyFile()
{
    const QString path = m_dir.filePath("empty.g52");
    QVERIFY(saveRecordFile(path, RecordBuffer()));
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(QFileInfo(path).size(), qint64(0));
}

// More than 16 chunks go back on a thread of their own, which must let the
// program end (a test program that hangs at its end fails by its time limit).
void TestRecordFile::bigBufferIsEmptied()
{
    RecordBuffer buffer;
    for (std::size_t i = 0; i <= 17 * RecordBuffer::kChunkRecords; ++i)
        buffer.append(TARecord{});
    buffer.clear();
    QVERIFY(buffer.empty());
    buffer.append(TARecord{});
    QCOMPARE(buffer.size(), std::size_t(1));
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
