// SPDX-License-Identifier: MIT
// dmm-export end to end: recordings written here, the tool run on them, its
// output compared with what the export, the data list and the recorder's
// counting make of the same records in this process.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <limits>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include "DataListLine.h"
#include "ExportText.h"
#include "Record.h"
#include "RecordBuffer.h"
#include "RecorderStore.h"

using namespace dmm;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runExport(const QStringList& arguments, const QString& directory,
              const QString& stdoutFile = QString())
{
    QProcess process;
    process.setWorkingDirectory(directory);
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    process.start(QStringLiteral(DMM_EXPORT_PATH), arguments);
    Run run;
    if (!process.waitForStarted() || !process.waitForFinished(30000) ||
        process.exitStatus() != QProcess::NormalExit) {
        run.err = process.errorString().toUtf8();
        return run;
    }
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

TARecord sample(int i, float value)
{
    TARecord r;
    r.display = "1.234";
    r.exponent = "-3";
    r.function = i % 3 == 0 ? 128 : 6; // every third a resistance
    r.timeStamp = formatTimeStamp(i / 36000 % 24, i / 600 % 60, i / 10 % 60, i % 10 * 100);
    r.value = "1.234";
    r.prefix = i % 3 == 0 ? "K" : "m";
    r.unit = i % 3 == 0 ? "W" : "V";
    r.fValue = value;
    r.subDisplay = i % 4 == 1 ? "0.98" : "";
    return r;
}

QByteArray fileBytes(const QList<float>& values, int recordSize)
{
    QByteArray bytes;
    for (int i = 0; i < values.size(); ++i) {
        const TARecord r = sample(i, values[i]);
        if (recordSize == int(kRecordSize)) {
            const auto b = encodeRecord(r);
            bytes.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        } else {
            const auto b = encodeARecord(r);
            bytes.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        }
    }
    return bytes;
}

QByteArray counted(int count, int recordSize = int(kARecordSize))
{
    QList<float> values;
    for (int i = 0; i < count; ++i)
        values << float(i % 37) * 0.25f - 3.0f;
    return fileBytes(values, recordSize);
}

QByteArray garbage(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(20240607);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// The records of a file as the codec decodes them with the given size; a
// trailing incomplete record is left out.
RecordBuffer decoded(const QByteArray& bytes, int recordSize)
{
    RecordBuffer buffer;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    for (qsizetype at = 0; at + recordSize <= bytes.size(); at += recordSize) {
        if (recordSize == int(kRecordSize))
            buffer.append(
                decodeRecord(std::span<const std::uint8_t, kRecordSize>(data + at, kRecordSize)));
        else
            buffer.append(decodeARecord(
                std::span<const std::uint8_t, kARecordSize>(data + at, kARecordSize)));
    }
    return buffer;
}

QByteArray listText(const RecordBuffer& buffer, std::size_t begin, std::size_t end)
{
    std::string text;
    for (std::size_t i = begin; i < end; ++i)
        text += dataListLine(i, buffer.at(i)) + '\n';
    return QByteArray::fromStdString(text);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Bit for bit, so NaN and -0 compare as they are.
bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestExportTool : public QObject
{
    Q_OBJECT
private slots:
    void exportsAsTheDialogDoes_data();
    void exportsAsTheDialogDoes();
    void listsAsTheDataListDoes_data();
    void listsAsTheDataListDoes();
    void infoHoldsTheRecordersCounts_data();
    void infoHoldsTheRecordersCounts();
    void infoIsJsonWhateverTheValues_data();
    void infoIsJsonWhateverTheValues();
    void unreadableFileWritesNothing_data();
    void unreadableFileWritesNothing();
    void badArguments_data();
    void badArguments();
    void outputFile();
    void failedWritesReportAndLeaveNoFile();
    void helpExplainsEveryOption();
    void recordingCutWhileReadWritesNothing_data();
    void recordingCutWhileReadWritesNothing();
    void stoppedWriteLeavesTheOldFile_data();
    void stoppedWriteLeavesTheOldFile();
    void outputThatIsTheRecordingIsRefused_data();
    void outputThatIsTheRecordingIsRefused();
    void nameThatIsNoUtf8IsFound();
    void noThreadToSpareWritesTheSame();

    void infoOfARecordingCutWhileCountedSaysSo();

private:
    QTemporaryDir m_dir;
};

void TestExportTool::exportsAsTheDialogDoes_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("recordSize");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<int>("first"); // entries first … last - 1 come out
    QTest::addColumn<int>("last");

    const QString all;
    const QByteArray two = counted(2);
    QTest::newRow("g52 of 152 bytes") << "a.g52" << two << 76 << all << 0 << 2;
    QTest::newRow("g52 of 160 bytes, last 8 ignored")
        << "b.g52" << two + QByteArray(8, '\x7f') << 76 << all << 0 << 2;
    QTest::newRow("g51 of 136 bytes, no sub-display")
        << "old.g51" << counted(2, 68) << 68 << all << 0 << 2;
    QTest::newRow("DATA.G51 holds 76-byte records") << "DATA.G51" << two << 76 << all << 0 << 2;
    QTest::newRow("folder named x.g51") << "x.g51/run.g52" << two << 76 << all << 0 << 2;
    QTest::newRow("temporary file") << "~KOPLX1.TMP" << counted(5) << 76 << all << 0 << 5;
    QTest::newRow("empty file") << "empty.g52" << QByteArray() << 76 << all << 0 << 0;
    QTest::newRow("shorter than one record")
        << "short.g52" << QByteArray(75, 'x') << 76 << all << 0 << 0;

    const QByteArray n200 = counted(200);
    QTest::newRow("200 records, all pages") << "r200.g52" << n200 << 76 << all << 0 << 200;
    QTest::newRow("200 records: page 1 is empty") << "r200.g52" << n200 << 76 << "1" << 0 << 0;
    QTest::newRow("200 records: page 2 holds them") << "r200.g52" << n200 << 76 << "2" << 0 << 200;

    const QByteArray n450 = counted(450);
    QTest::newRow("450, all pages") << "r450.g52" << n450 << 76 << all << 0 << 450;
    QTest::newRow("450, page 3") << "r450.g52" << n450 << 76 << "3" << 250 << 450;
    QTest::newRow("450, page 2") << "r450.g52" << n450 << 76 << "2" << 50 << 250;
    QTest::newRow("450, page 1 partial") << "r450.g52" << n450 << 76 << "1" << 0 << 50;
    QTest::newRow("450, pages 2-3") << "r450.g52" << n450 << 76 << "2-3" << 50 << 450;
    QTest::newRow("450, pages 0-9 limited") << "r450.g52" << n450 << 76 << "0-9" << 0 << 450;
    QTest::newRow("450, page 4 does not exist") << "r450.g52" << n450 << 76 << "4" << 0 << 0;
    QTest::newRow("450, pages 3-2 reversed") << "r450.g52" << n450 << 76 << "3-2" << 0 << 0;

    QTest::newRow("garbage") << "noise.g52" << garbage(76 * 40 + 11) << 76 << all << 0 << 40;
    QTest::newRow("garbage as g51") << "noise.g51" << garbage(68 * 40) << 68 << all << 0 << 40;
    QTest::newRow("NaN and infinities")
        << "nan.g52" << fileBytes({kNaN, 1.5f, kInf, -kInf, -0.0f, 1.5e-5f, 12345678.0f}, 76) << 76
        << all << 0 << 7;
}

void TestExportTool::exportsAsTheDialogDoes()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(int, recordSize);
    QFETCH(QString, pages);
    QFETCH(int, first);
    QFETCH(int, last);

    QVERIFY(writeFile(m_dir.filePath(fileName), bytes));
    QStringList arguments{fileName};
    if (!pages.isEmpty())
        arguments << QStringLiteral("--pages") << pages;
    const Run run = runExport(arguments, m_dir.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY(run.err.isEmpty());

    const QByteArray expected =
        exportText(decoded(bytes, recordSize), {std::size_t(first), std::size_t(last)});
    QCOMPARE(run.out.count("\r\n"), last - first);
    QCOMPARE(run.out, expected);
    if (recordSize == 68)
        QVERIFY(!run.out.contains(",0.98\r\n"));
}

void TestExportTool::listsAsTheDataListDoes_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("recordSize");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("ohms, volts and sub-displays")
        << "l.g52" << counted(12) << 76 << QString() << 0 << 12;
    QTest::newRow("g51") << "l.g51" << counted(12, 68) << 68 << QString() << 0 << 12;
    QTest::newRow("450, page 2") << "l450.g52" << counted(450) << 76 << "2" << 50 << 250;
    QTest::newRow("empty") << "l0.g52" << QByteArray() << 76 << QString() << 0 << 0;
    // Texts may hold any byte, line feeds included: the bytes come out as stored.
    QTest::newRow("garbage") << "lnoise.g52" << garbage(76 * 30) << 76 << QString() << 0 << 30;
}

void TestExportTool::listsAsTheDataListDoes()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(int, recordSize);
    QFETCH(QString, pages);
    QFETCH(int, first);
    QFETCH(int, last);

    QVERIFY(writeFile(m_dir.filePath(fileName), bytes));
    QStringList arguments{QStringLiteral("--list"), fileName};
    if (!pages.isEmpty())
        arguments << QStringLiteral("--pages") << pages;
    const Run run = runExport(arguments, m_dir.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QCOMPARE(run.out, listText(decoded(bytes, recordSize), std::size_t(first), std::size_t(last)));
}

void TestExportTool::infoHoldsTheRecordersCounts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("lastPage");
    QTest::addColumn<int>("maxIndex");
    QTest::addColumn<int>("minIndex");
    QTest::addColumn<float>("scaleMaxY");
    QTest::addColumn<float>("scaleMinY");
    QTest::addColumn<QByteArray>("scaleText"); // as the tool writes the two numbers

    QTest::newRow("empty file: the reset state")
        << QByteArray() << 0 << 1 << 0 << 0 << 100.0f << -100.0f
        << QByteArray("\"scaleMaxY\":100,\"scaleMinY\":-100,");
    QTest::newRow("equal values: the newest is the maximum")
        << fileBytes({5, 5}, 76) << 2 << 1 << 1 << 0 << 6.65f << -6.65f
        << QByteArray("\"scaleMaxY\":6.65,\"scaleMinY\":-6.65,");
    QTest::newRow("-2.5, 3, 1 widen the scale once")
        << fileBytes({-2.5f, 3, 1}, 76) << 3 << 1 << 1 << 0 << 3.99f << -3.325f
        << QByteArray("\"scaleMaxY\":3.99,\"scaleMinY\":-3.325,");
    QTest::newRow("first value 0") << fileBytes({0}, 76) << 1 << 1 << 0 << 0 << 1.0f << -1.0f
                                   << QByteArray("\"scaleMaxY\":1,\"scaleMinY\":-1,");
    QTest::newRow("NaN is never counted")
        << fileBytes({kNaN, 2, kNaN, -1}, 76) << 4 << 1 << 1 << 3 << 2.66f << -1.33f
        << QByteArray("\"scaleMaxY\":2.66,\"scaleMinY\":-1.33,");
    QTest::newRow("199 records, one page") << counted(199) << 199 << 1 << 184 << 185 << 7.98f
                                           << -3.99f << QByteArray("\"scaleMaxY\":7.98,");
    QTest::newRow("200 records, two pages")
        << counted(200) << 200 << 2 << 184 << 185 << 7.98f << -3.99f << QByteArray();
    QTest::newRow("401 records, three pages")
        << counted(401) << 401 << 3 << 369 << 370 << 7.98f << -3.99f << QByteArray();
    QTest::newRow("g51 of 136 bytes")
        << counted(2, 68) << 2 << 1 << 1 << 0 << 3.99f << -3.99f << QByteArray();
}

void TestExportTool::infoHoldsTheRecordersCounts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    QFETCH(int, lastPage);
    QFETCH(int, maxIndex);
    QFETCH(int, minIndex);
    QFETCH(float, scaleMaxY);
    QFETCH(float, scaleMinY);
    QFETCH(QByteArray, scaleText);

    const QString name = records == 2 && bytes.size() == 136 ? "info.g51" : "info.g52";
    QVERIFY(writeFile(m_dir.filePath(name), bytes));
    const Run run = runExport({QStringLiteral("--info"), name}, m_dir.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY(run.out.endsWith("}\n"));
    QCOMPARE(run.out.count('\n'), 1);
    QVERIFY(run.out.contains(scaleText));

    QJsonParseError error{};
    const QJsonObject info = QJsonDocument::fromJson(run.out, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(info.keys().size(), 10); // and firstTime, lastTime with their sources
    QCOMPARE(info.value("records").toInt(-1), records);
    QCOMPARE(info.value("lastPage").toInt(-1), lastPage);
    QCOMPARE(info.value("maxIndex").toInt(-1), maxIndex);
    QCOMPARE(info.value("minIndex").toInt(-1), minIndex);
    // Shortest form reads back as the very float.
    QVERIFY(sameFloat(float(info.value("scaleMaxY").toDouble()), scaleMaxY));
    QVERIFY(sameFloat(float(info.value("scaleMinY").toDouble()), scaleMinY));
}

void TestExportTool::infoIsJsonWhateverTheValues_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const float big = std::numeric_limits<float>::max();
    const float tiny = std::numeric_limits<float>::denorm_min();
    QTest::newRow("largest floats") << fileBytes({big, -big}, 76);
    QTest::newRow("infinities and NaN") << fileBytes({kInf, -kInf, kNaN}, 76);
    QTest::newRow("denormals") << fileBytes({tiny, -tiny, 1e-30f}, 76);
    QTest::newRow("garbage") << garbage(76 * 500);
}

void TestExportTool::infoIsJsonWhateverTheValues()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(writeFile(m_dir.filePath("odd.g52"), bytes));
    const Run run = runExport({QStringLiteral("--info"), QStringLiteral("odd.g52")}, m_dir.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QJsonParseError error{};
    const QJsonObject info = QJsonDocument::fromJson(run.out, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError,
             qPrintable(error.errorString() + ": " + run.out));

    // What the recorder's own counting holds after the same records.
    RecorderStore store{QString()};
    RecordBuffer& buffer = store.bufferForLoading();
    const RecordBuffer records = decoded(bytes, 76);
    RecordTally tally;
    for (std::size_t i = 0; i < records.size(); ++i) {
        buffer.append(records.at(i));
        tally.add(records.at(i).fValue);
    }
    store.finishLoad(tally);
    QCOMPARE(info.value("maxIndex").toInt(-1), store.state().maxIndex);
    QCOMPARE(info.value("minIndex").toInt(-1), store.state().minIndex);
    for (const auto& [key, expected] : {std::pair{"scaleMaxY", store.state().scaleMaxY},
                                        std::pair{"scaleMinY", store.state().scaleMinY}}) {
        const QJsonValue value = info.value(key);
        if (std::isfinite(expected))
            QVERIFY2(sameFloat(float(value.toDouble()), expected), key);
        else
            QVERIFY2(value.isNull(), key); // JSON has no infinities
    }
}

void TestExportTool::unreadableFileWritesNothing_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("options");

    QTest::newRow("missing file") << "missing.g52" << QStringList();
    QTest::newRow("missing file, list") << "missing.g52" << QStringList{"--list"};
    QTest::newRow("missing file, info") << "missing.g52" << QStringList{"--info"};
    QTest::newRow("a folder") << "folder.g52" << QStringList();
}

void TestExportTool::unreadableFileWritesNothing()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, options);
    QDir(m_dir.path()).mkpath(QStringLiteral("folder.g52"));
    const Run run = runExport(options << fileName, m_dir.path());
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(fileName.toUtf8()), run.err.constData());
}

void TestExportTool::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("no file") << QStringList();
    QTest::newRow("two files") << QStringList{"a.g52", "b.g52"};
    QTest::newRow("unknown option") << QStringList{"--csv", "a.g52"};
    QTest::newRow("pages not a number") << QStringList{"--pages", "x", "a.g52"};
    QTest::newRow("pages negative") << QStringList{"--pages", "-1", "a.g52"};
    QTest::newRow("pages open range") << QStringList{"--pages", "1-", "a.g52"};
    QTest::newRow("pages past int") << QStringList{"--pages", "99999999999", "a.g52"};
    QTest::newRow("pages without value") << QStringList{"a.g52", "--pages"};
    QTest::newRow("list and info") << QStringList{"--list", "--info", "a.g52"};
    QTest::newRow("info with pages") << QStringList{"--info", "--pages", "1", "a.g52"};
    QTest::newRow("-o without value") << QStringList{"a.g52", "-o"};
}

void TestExportTool::badArguments()
{
    QFETCH(QStringList, arguments);
    QVERIFY(writeFile(m_dir.filePath("a.g52"), counted(3)));
    const Run run = runExport(arguments, m_dir.path());
    QCOMPARE(run.status, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("Usage: dmm-export"), run.err.constData());
}

void TestExportTool::outputFile()
{
    const QByteArray bytes = counted(450);
    QVERIFY(writeFile(m_dir.filePath("o.g52"), bytes));
    const QString out = m_dir.filePath("o.csv");
    QVERIFY(writeFile(out, QByteArray(100000, 'x'))); // replaced, not overwritten in part

    Run run = runExport({"--pages", "2", "-o", out, "o.g52"}, m_dir.path());
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.isEmpty());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), exportText(decoded(bytes, 76), {50, 250}));
    file.close();

    run = runExport({"--info", "--output", out, "o.g52"}, m_dir.path());
    QCOMPARE(run.status, 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("{\"records\":450,\"lastPage\":3,"));
}

void TestExportTool::failedWritesReportAndLeaveNoFile()
{
    QVERIFY(writeFile(m_dir.filePath("w.g52"), counted(10)));
    const QString out = m_dir.filePath("no/such/folder/w.csv");
    Run run = runExport({"-o", out, "w.g52"}, m_dir.path());
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(out.toUtf8()), run.err.constData());
    QVERIFY(!QFileInfo::exists(out));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("no")));

    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full to fill standard output");
    run = runExport({"w.g52"}, m_dir.path(), QStringLiteral("/dev/full"));
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("standard output"), run.err.constData());
}

void TestExportTool::helpExplainsEveryOption()
{
    const Run run = runExport({"--help"}, m_dir.path());
    QCOMPARE(run.status, 0);
    for (const char* word : {"--pages", "--list", "--info", "-o", "FILE", "CR LF", "Exit status",
                             ".g51", "lastPage", "scaleMaxY"})
        QVERIFY2(run.out.contains(word), word);
}

void TestExportTool::recordingCutWhileReadWritesNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("export -o") << QStringList{"-o", "out.txt"};
    QTest::newRow("export, standard output") << QStringList{};
    QTest::newRow("--table -o") << QStringList{"--table", "-o", "out.txt"};
    QTest::newRow("--table, standard output") << QStringList{"--table"};
    // Joined with a whole copy: the cut one is named.
    QTest::newRow("--table of two -o") << QStringList{"--table", "-o", "out.txt", "whole.g52"};
    QTest::newRow("--table of two, workbook")
        << QStringList{"--table", "-o", "out.xlsx", "whole.g52"};
}

// 1,000,000 records cut to 300,000 while the tool is stopped, once it has
// started writing: its first text is out, or its temporary file is made.
void TestExportTool::recordingCutWhileReadWritesNothing()
{
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QString recording = dir.filePath("run.g52");
    QVERIFY(writeFile(recording, counted(1).repeated(1000000)));
    QVERIFY(writeFile(dir.filePath("out.txt"), "old\n"));
    QStringList files{"out.txt", "run.g52"};
    if (options.contains("whole.g52")) {
        QVERIFY(QFile::copy(recording, dir.filePath("whole.g52")));
        files << "whole.g52";
    }
    const int watch = ::inotify_init1(IN_CLOEXEC);
    QVERIFY(watch >= 0 &&
            ::inotify_add_watch(watch, QFile::encodeName(dir.path()), IN_CREATE) >= 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(DMM_EXPORT_PATH), QStringList(options) << "run.g52");
    pollfd created{watch, POLLIN, 0};
    QVERIFY(options.contains("-o") ? ::poll(&created, 1, 30000) == 1
                                   : process.waitForReadyRead(30000));
    ::kill(pid_t(process.processId()), SIGSTOP);
    QVERIFY(::truncate(QFile::encodeName(recording), 300000 * 76) == 0);
    ::kill(pid_t(process.processId()), SIGCONT);
    ::close(watch);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("run.g52: the file ended before its size promised"), err.constData());
    QCOMPARE(readAll(dir.filePath("out.txt")), "old\n");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
}

void TestExportTool::stoppedWriteLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("signal"); // 0: a file-size limit of 4 KiB stops the write
    QTest::addColumn<QString>("message");
    QTest::newRow("text, file-size limit")
        << "out.txt" << QStringList{} << 1000000 << 0 << "dmm-export: out.txt: File too large\n";
    // The rows fit, the zip does not: the library fails while it closes the
    // workbook, and says nothing of its own.
    QTest::newRow("workbook, file-size limit") << "out.xlsx" << QStringList{"--table"} << 1 << 0
                                               << "dmm-export: out.xlsx: File too large\n";
    QTest::newRow("text, SIGINT")
        << "out.txt" << QStringList{} << 1000000 << SIGINT
        << "dmm-export: out.txt: not written, stopped by SIGINT (an existing file is left as it "
           "was)\n";
    QTest::newRow("workbook, SIGTERM")
        << "out.xlsx" << QStringList{"--table"} << 1000000 << SIGTERM
        << "dmm-export: out.xlsx: not written, stopped by SIGTERM (an existing file is left as "
           "it was)\n";
}

// The signal comes once the temporary file is made.
void TestExportTool::stoppedWriteLeavesTheOldFile()
{
    QFETCH(QString, output);
    QFETCH(QStringList, options);
    QFETCH(int, records);
    QFETCH(int, signal);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("run.g52"), counted(1).repeated(records)));
    QVERIFY(writeFile(dir.filePath(output), "old\n"));
    const int watch = ::inotify_init1(IN_CLOEXEC);
    QVERIFY(watch >= 0 &&
            ::inotify_add_watch(watch, QFile::encodeName(dir.path()), IN_CREATE) >= 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    if (signal == 0)
        process.setChildProcessModifier([] {
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    process.start(QStringLiteral(DMM_EXPORT_PATH), options << "-o" << output << "run.g52");
    pollfd created{watch, POLLIN, 0};
    QVERIFY(::poll(&created, 1, 30000) == 1);
    if (signal != 0)
        ::kill(pid_t(process.processId()), signal);
    ::close(watch);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), message);
    QCOMPARE(readAll(dir.filePath(output)), "old\n");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{output, "run.g52"}));
}

void TestExportTool::outputThatIsTheRecordingIsRefused_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("the same name") << "r.g52" << QStringList{};
    QTest::newRow("another spelling, --list") << "./r.g52" << QStringList{"--list"};
    QTest::newRow("a link to it, --table") << "link.g52" << QStringList{"--table"};
    QTest::newRow("a hard link, --info") << "hard.g52" << QStringList{"--info"};
}

void TestExportTool::outputThatIsTheRecordingIsRefused()
{
    QFETCH(QString, output);
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QByteArray bytes = counted(3);
    QVERIFY(writeFile(dir.filePath("r.g52"), bytes));
    QVERIFY(QFile::link("r.g52", dir.filePath("link.g52")));
    QVERIFY(::link(QFile::encodeName(dir.filePath("r.g52")).constData(),
                   QFile::encodeName(dir.filePath("hard.g52")).constData()) == 0);
    const Run run = runExport(options << "-o" << output << "r.g52", dir.path());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(output.toUtf8() + ": is the recording being read"),
             run.err.constData());
    QCOMPARE(readAll(dir.filePath("r.g52")), bytes);
}

// r\xe9.g52 in, o\xe9.txt out; the shell hands the bytes over as they are.
void TestExportTool::nameThatIsNoUtf8IsFound()
{
    QTemporaryDir dir;
    const QByteArray bytes = counted(3);
    FILE* file = std::fopen(QFile::encodeName(dir.path()) + "/r\xe9.g52", "wb");
    QVERIFY(file && std::fwrite(bytes.constData(), 1, 228, file) == 228 && std::fclose(file) == 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start("/bin/sh", {"-c",
                              "exec \"$0\" -o \"$(printf 'o\\351.txt')\" "
                              "\"$(printf 'r\\351.g52')\"",
                              DMM_EXPORT_PATH});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.readAllStandardError(), QByteArray());
    file = std::fopen(QFile::encodeName(dir.path()) + "/o\xe9.txt", "rb");
    QVERIFY(file);
    char text[400];
    const std::size_t size = std::fread(text, 1, sizeof text, file);
    std::fclose(file);
    for (const char* name : {"/r\xe9.g52", "/o\xe9.txt"}) // QTemporaryDir cannot name them
        ::unlink(QFile::encodeName(dir.path()) + name);
    QCOMPARE(QByteArray(text, qsizetype(size)), exportText(decoded(bytes, 76), {0, 3}));
}

// Where no thread can be had to read ahead (here a user limited to one
// process), the tool reads on its own thread and writes the same.
void TestExportTool::noThreadToSpareWritesTheSame()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const QString prlimit = QStandardPaths::findExecutable(QStringLiteral("prlimit"));
    if (::geteuid() != 0 || setpriv.isEmpty() || prlimit.isEmpty())
        QSKIP("needs root, setpriv and prlimit to run the tool as a user of one process");
    const QStringList asNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    if (QProcess::execute(setpriv, asNobody + QStringList{"test", "-x", DMM_EXPORT_PATH}) != 0)
        QSKIP("the tool's folder is closed to the user nobody");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    QVERIFY(writeFile(dir.filePath("n.g52"), counted(3000)));
    QVERIFY(QFile::setPermissions(dir.filePath("n.g52"), QFile::ReadOwner | QFile::ReadOther));
    const Run free = runExport({"--list", "n.g52"}, dir.path());
    QProcess limited;
    limited.setWorkingDirectory(dir.path());
    limited.start(setpriv,
                  asNobody + QStringList{prlimit, "--nproc=1", DMM_EXPORT_PATH, "--list", "n.g52"});
    QVERIFY(limited.waitForFinished(30000));
    QVERIFY2(limited.exitStatus() == QProcess::NormalExit && limited.exitCode() == 0,
             limited.readAllStandardError().constData());
    QCOMPARE(limited.readAllStandardOutput(), free.out);
}

// A sparse recording of 20 million records, cut to 300,000 once the tool has
// begun to read it: the zeros read as fast as memory goes, yet slower than
// the tool is stopped.
void TestExportTool::infoOfARecordingCutWhileCountedSaysSo()
{
    QTemporaryDir dir;
    const QByteArray recording = QFile::encodeName(dir.filePath("run.g52"));
    QVERIFY(writeFile(dir.filePath("run.g52"), counted(1000)));
    QVERIFY(::truncate(recording.constData(), qint64(20000000) * 76) == 0);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    QVERIFY(watch >= 0 && ::inotify_add_watch(watch, recording.constData(), IN_ACCESS) >= 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(DMM_EXPORT_PATH), {"--info", "run.g52"});
    pollfd read{watch, POLLIN, 0};
    QVERIFY(::poll(&read, 1, 30000) == 1);
    ::kill(pid_t(process.processId()), SIGSTOP);
    QVERIFY(::truncate(recording.constData(), 300000 * 76) == 0);
    ::kill(pid_t(process.processId()), SIGCONT);
    ::close(watch);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("run.g52: the file ended before its size promised"), err.constData());
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestExportTool)
#include "tst_exporttool.moc"
