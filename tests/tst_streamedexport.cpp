// SPDX-License-Identifier: MIT
// Long recordings written and exported a block at a time: the bytes must stay
// those the whole-text writers produce. The expected digests were taken from
// the writers that built the whole text in memory (values rounded once from
// their binary value); the recording's date is fixed, as --info dates its
// readings from it.
#include <QtTest>

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "ExportText.h"
#include "Record.h"
#include "RecordBuffer.h"
#include "RecordFile.h"
#include "RecorderStore.h"

using namespace dmm;

namespace {

constexpr const char* kRecording =
    "4b85738d6e8972da48c8a324e6374494348e2b3036caa2e9ca224cfd8c0b346c";
constexpr const char* kAllPages =
    "091fe4ab11d9b38256ab7551532f98cfaf15416f927198dc1ae6be60ecb52889";

// Crosses the chunk, read-block and export-block sizes more than once.
constexpr int kRecords = 150001;

// Every value class the export spells: ordinary readings, zeros, both
// notations, extremes, NaN and infinities, from a fixed pseudo-random walk.
TARecord longRunRecord(std::uint32_t& seed, int i)
{
    seed = seed * 1664525u + 1013904223u;
    TARecord r;
    r.display = "1.234";
    r.exponent = "-3";
    r.function = i % 3 == 0 ? 128 : 6;
    r.timeStamp = formatTimeStamp(i / 36000 % 24, i / 600 % 60, i / 10 % 60, i % 10 * 100);
    r.value = "1.234";
    r.prefix = i % 3 == 0 ? "K" : "m";
    r.unit = i % 3 == 0 ? "W" : "V";
    if (i % 5 == 0) {
        std::uint32_t bits = seed;
        std::memcpy(&r.fValue, &bits, sizeof bits); // any bit pattern at all
    } else {
        r.fValue = float(int(seed % 2000001u) - 1000000) / float(1u << (seed >> 28));
    }
    r.subDisplay = i % 4 == 1 ? "0.98" : "";
    return r;
}

RecordBuffer longRun()
{
    RecordBuffer buffer;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kRecords; ++i)
        buffer.append(longRunRecord(seed, i));
    return buffer;
}

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray fileSha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

QByteArray runExport(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(DMM_EXPORT_PATH), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return "failed: " + process.readAllStandardError();
    return process.readAllStandardOutput();
}

} // namespace

class TestStreamedExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void savedRecordingIsTheRecords();
    void toolOutputKeepsItsBytes_data();
    void toolOutputKeepsItsBytes();
    void workerWritesTheBytesWhileTheBufferChanges_data();
    void workerWritesTheBytesWhileTheBufferChanges();
    void workerReportsAFailedWrite_data();
    void workerReportsAFailedWrite();
    void savedOnlyWhileTheBufferHoldsWhatWasWritten_data();
    void savedOnlyWhileTheBufferHoldsWhatWasWritten();

private:
    QTemporaryDir m_dir;
    RecordBuffer m_buffer = longRun();
    QString m_recording;
};

void TestStreamedExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_recording = m_dir.filePath(QStringLiteral("long.g52"));
    QString error;
    QVERIFY2(saveRecordFile(m_recording, m_buffer, &error), qPrintable(error));
    QFile file(m_recording);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(12, 0)),
                             QFileDevice::FileModificationTime));
}

void TestStreamedExport::savedRecordingIsTheRecords()
{
    QCOMPARE(fileSha256(m_recording),
             QByteArray(kRecording));
}

void TestStreamedExport::toolOutputKeepsItsBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("digest");
    QTest::newRow("all pages") << QStringList{} << QByteArray(kAllPages);
    QTest::newRow("pages 5 to 300") << QStringList{"--pages", "5-300"}
        << QByteArray("666dd8679ff19ddcdb8ae2ff9f665aaa28225c909007981c4560144f9afd377b");
    QTest::newRow("the oldest, partial page") << QStringList{"--pages", "1"}
        << QByteArray("75ede6440883e9e69f089155db8de46e03aa9f0fc961910e315ec1fd7464ab4b");
    QTest::newRow("data list lines") << QStringList{"--list"}
        << QByteArray("6473b34dfe62747bbbd5141115189ef35decf99f9425d26c69d90705271a922b");
    QTest::newRow("data list, pages 400 to 9999")
        << QStringList{"--list", "--pages", "400-9999"}
        << QByteArray("93cef80acb1ea8ea8c1801b58a52dc2c8fbff0160fb1407da39c44e76065c901");
    QTest::newRow("info") << QStringList{"--info"}
        << QByteArray("7aa098fb6a99976cc97b8a688ebc31085cee745cc1b8324f85934e36cfa0559e");
}

void TestStreamedExport::toolOutputKeepsItsBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, digest);
    const QByteArray out = runExport(arguments << m_recording);
    QCOMPARE(sha256(out), digest);
}

using Writer = std::function<std::optional<QString>(const QString&, RecordBuffer::Snapshot)>;
Q_DECLARE_METATYPE(Writer)

namespace {

std::optional<QString> saveOnWorker(const QString& path, RecordBuffer::Snapshot records)
{
    return saveRecordFile(path, records);
}

std::optional<QString> exportOnWorker(const QString& path, RecordBuffer::Snapshot records)
{
    const EntryRange all{0, records.size()};
    return writeFileAtomically(path, exportTextBlocks(std::move(records), all));
}

} // namespace

void TestStreamedExport::workerWritesTheBytesWhileTheBufferChanges_data()
{
    QTest::addColumn<Writer>("write");
    QTest::addColumn<QByteArray>("digest");
    QTest::addColumn<bool>("clear"); // else readings go on arriving
    QTest::newRow("save, readings arriving") << Writer(saveOnWorker) << QByteArray(kRecording)
                                             << false;
    QTest::newRow("save, buffer cleared") << Writer(saveOnWorker) << QByteArray(kRecording)
                                          << true;
    QTest::newRow("text export, readings arriving")
        << Writer(exportOnWorker) << QByteArray(kAllPages) << false;
    QTest::newRow("text export, buffer cleared")
        << Writer(exportOnWorker) << QByteArray(kAllPages) << true;
}

void TestStreamedExport::workerWritesTheBytesWhileTheBufferChanges()
{
    QFETCH(Writer, write);
    QFETCH(QByteArray, digest);
    QFETCH(bool, clear);
    RecordBuffer buffer = longRun();
    const QString path = m_dir.filePath(QStringLiteral("worker.out"));
    std::optional<QString> result = QStringLiteral("not run");
    std::thread worker([&, records = buffer.snapshot()] { result = write(path, records); });
    if (clear) {
        buffer.clear();
    } else {
        for (int i = 0; i < 100000; ++i)
            buffer.append(buffer.at(std::size_t(i)));
    }
    worker.join();
    QVERIFY2(!result, qPrintable(result.value_or(QString())));
    QCOMPARE(fileSha256(path), digest);
}

void TestStreamedExport::workerReportsAFailedWrite_data()
{
    QTest::addColumn<Writer>("write");
    QTest::newRow("save") << Writer(saveOnWorker);
    QTest::newRow("text export") << Writer(exportOnWorker);
}

void TestStreamedExport::workerReportsAFailedWrite()
{
    QFETCH(Writer, write);
    const QString path = m_dir.filePath(QStringLiteral("no such folder/out"));
    std::optional<QString> result;
    std::thread worker([&, records = m_buffer.snapshot()] { result = write(path, records); });
    worker.join();
    QVERIFY(result.has_value());
    QVERIFY(!result->isEmpty());
    QVERIFY(!QFile::exists(path));
}

void TestStreamedExport::savedOnlyWhileTheBufferHoldsWhatWasWritten_data()
{
    QTest::addColumn<int>("appended");
    QTest::addColumn<bool>("emptied"); // and filled again to the same count
    QTest::addColumn<bool>("saved");
    QTest::newRow("unchanged") << 0 << false << true;
    QTest::newRow("a reading logged meanwhile") << 1 << false << false;
    QTest::newRow("cleared and refilled meanwhile") << 0 << true << false;
}

void TestStreamedExport::savedOnlyWhileTheBufferHoldsWhatWasWritten()
{
    QFETCH(int, appended);
    QFETCH(bool, emptied);
    QFETCH(bool, saved);
    RecorderStore store{QString{}};
    RecordBuffer loaded;
    RecordTally tally;
    for (std::size_t i = 0; i < 3; ++i) {
        loaded.append(m_buffer.at(i));
        tally.add(m_buffer.at(i).fValue);
    }
    store.takeLoaded(std::move(loaded));
    store.finishLoad(tally);
    const RecorderStore::SaveSource source = store.saveSource();
    if (emptied) {
        store.clear();
        for (std::size_t i = 0; i < 3; ++i)
            store.bufferForLoading().append(m_buffer.at(i));
        store.finishLoad(tally);
    }
    for (int i = 0; i < appended; ++i)
        store.bufferForLoading().append(m_buffer.at(0));
    store.markSaved(source);
    QCOMPARE(store.state().unsavedData, !saved);
}

QTEST_GUILESS_MAIN(TestStreamedExport)
#include "tst_streamedexport.moc"
