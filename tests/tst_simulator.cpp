// SPDX-License-Identifier: MIT
// dmm-sim: its scenarios and scripts as steps, and the running simulator as a
// serial port seen through its link.
#include <QtTest>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSerialPort>

#include <set>

#include "FrameDecoder.h"
#include "FrameEncoder.h"
#include "HexBytes.h"
#include "Scenarios.h"
#include "SimProcess.h"
#include "SimScript.h"

using namespace dmm;
using namespace dmm::sim;

namespace {

using namespace std::chrono_literals;

const DecodedFrame kSteadyReading{"1.234", "0", 6};

std::vector<std::optional<DecodedFrame>> decodedFrames(const SimSteps& steps)
{
    std::vector<std::optional<DecodedFrame>> frames;
    for (const SimStep& step : steps)
        if (step.kind == SimStep::Kind::Frame)
            frames.push_back(decodeFrame(step.bytes));
    return frames;
}

bool isOverloadText(const std::string& text)
{
    const std::string bare = !text.empty() && text.front() == '-' ? text.substr(1) : text;
    return bare == "OL" || bare == "OL." || bare == "O.L" || bare == ".OL";
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// The simulator's pseudo-terminal opened as the logger opens its port.
bool openPort(QSerialPort& port, const QString& linkPath)
{
    port.setPortName(QFileInfo(linkPath).canonicalFilePath());
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    // A pseudo-terminal has no modem lines and refuses this; a real port takes it.
    port.setRequestToSend(false);
    return true;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT
private slots:
    // Scenarios as steps.
    void everyScenarioHasSteps();
    void sweepCoversEveryFunction();
    void overloadScenarioShowsOnlyOverloads();
    void lowBatteryScenarioFlagsTheBattery();
    void partialScenarioStopsMidFrame();
    void garbageScenarioMixesInBadFrames();
    void allScenarioPlaysEveryOther();
    // Scripts.
    void script_data();
    void script();
    void scriptErrors_data();
    void scriptErrors();
    // The running simulator.
    void steadyFramesReachThePort();
    void terminationRemovesTheLink();
    void countEndsAfterDeliveredFrames();
    void scriptIsPlayedAndLogged();
    void replacesAStaleLink();
    void refusesToReplaceAFile();
    void rejectsUnknownScenario();
    void negativeScenarioShowsEachKindOfNegative();
    void scriptUpToTheStepLimitIsAccepted();
};

void TestSimulator::everyScenarioHasSteps()
{
    for (const std::string& name : scenarioNames()) {
        const auto steps = scenarioSteps(name);
        QVERIFY2(steps && !steps->empty(), name.c_str());
        for (const SimStep& step : *steps)
            if (step.kind == SimStep::Kind::Frame)
                QCOMPARE(step.bytes.size(), std::size_t(kFrameSize));
    }
    QVERIFY(!scenarioSteps("nonsense"));
}

void TestSimulator::sweepCoversEveryFunction()
{
    std::set<std::uint32_t> functions;
    bool negative = false;
    std::set<std::string> exponents;
    for (const auto& frame : decodedFrames(*scenarioSteps("sweep"))) {
        QVERIFY(frame);
        functions.insert(frame->function);
        negative = negative || frame->display.front() == '-';
        exponents.insert(std::to_string(frame->function) + " " + frame->exponent);
    }
    const std::set<std::uint32_t> table{0,   4,   5,   6,   7,   8,   32,   64,
                                        128, 384, 513, 514, 515, 516, 1024, 0x40000000};
    QCOMPARE(functions, table);
    QVERIFY(negative);
    // mV and V, kilo- and megohms, nano- and microfarads.
    for (const char* range : {"6 -1", "6 0", "128 3", "128 7", "8 -2", "8 0"})
        QVERIFY2(exponents.contains(range), range);
}

void TestSimulator::overloadScenarioShowsOnlyOverloads()
{
    bool negative = false;
    std::set<std::uint32_t> functions;
    for (const auto& frame : decodedFrames(*scenarioSteps("overload"))) {
        QVERIFY(frame);
        QVERIFY2(isOverloadText(frame->display), frame->display.c_str());
        negative = negative || frame->display.front() == '-';
        functions.insert(frame->function);
    }
    QVERIFY(negative);
    for (const std::uint32_t f : {5u, 6u, 7u, 8u, 32u, 64u, 128u, 384u, 513u, 514u, 515u, 1024u})
        QVERIFY2(functions.contains(f), qPrintable(QString::number(f)));
}

void TestSimulator::lowBatteryScenarioFlagsTheBattery()
{
    int flagged = 0;
    for (const auto& frame : decodedFrames(*scenarioSteps("lowbat"))) {
        QVERIFY(frame);
        flagged += (frame->function & kLowBatteryBit) ? 1 : 0;
    }
    QVERIFY(flagged >= 3);
}

void TestSimulator::partialScenarioStopsMidFrame()
{
    const SimSteps steps = *scenarioSteps("partial");
    bool found = false;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        if (steps[i].kind == SimStep::Kind::Bytes && steps[i].bytes.size() == 7) {
            // Longer than the reader's 30 ms gap, so its read ends after 7 bytes.
            QVERIFY(steps[i + 1].kind == SimStep::Kind::Wait);
            QVERIFY(steps[i + 1].milliseconds > 30);
            found = true;
        }
    }
    QVERIFY(found);
}

void TestSimulator::garbageScenarioMixesInBadFrames()
{
    int good = 0;
    int rejected = 0;
    int noise = 0;
    const SimSteps steps = *scenarioSteps("garbage");
    for (const SimStep& step : steps) {
        if (step.kind == SimStep::Kind::Bytes)
            ++noise;
        else if (step.kind == SimStep::Kind::Frame)
            (decodeFrame(step.bytes) ? good : rejected) += 1;
    }
    QVERIFY(good > 0);
    QVERIFY(rejected > 0);
    QVERIFY(noise > 0);
}

void TestSimulator::allScenarioPlaysEveryOther()
{
    std::size_t total = 0;
    for (const std::string& name : scenarioNames())
        if (name != "all")
            total += scenarioSteps(name)->size();
    QCOMPARE(scenarioSteps("all")->size(), total);
}

void TestSimulator::script_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("expected"); // "frame HEX", "bytes HEX", "wait MS", "period MS"

    QTest::newRow("frame") << QByteArray("frame 0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4\n")
                           << QStringList{"frame 0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"};
    QTest::newRow("short frame is completed")
        << QByteArray("frame 0A 14 E4\n")
        << QStringList{"frame 0A 14 E4 20 30 40 50 60 70 80 90 A0 B0 C0 D0"};
    QTest::newRow("partial stays as given")
        << QByteArray("partial 0A 14 20\n") << QStringList{"bytes 0A 14 20"};
    QTest::newRow("show") << QByteArray("show 6 -1.234\n")
                          << QStringList{"frame 0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"};
    QTest::newRow("show with multiplier, low battery and hex code")
        << QByteArray("show 0x6 12.34 m lowbat\n")
        << QStringList{"frame 0A 14 24 30 4A 5A 6D 79 8F 94 AE B0 C0 D1 E4"};
    QTest::newRow("show overload")
        << QByteArray("show 128 _0L_\n")
        << QStringList{"frame 0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0"};
    QTest::newRow("wait and period")
        << QByteArray("period 100\nwait 2500\n") << QStringList{"period 100", "wait 2500"};
    QTest::newRow("comments and blank lines")
        << QByteArray("# meter warming up\n\n  \t\n  # indented\npartial 0A\n")
        << QStringList{"bytes 0A"};
    QTest::newRow("repeat") << QByteArray("repeat 2\npartial 01\nwait 5\nend\npartial 02\n")
                            << QStringList{"bytes 01", "wait 5", "bytes 01", "wait 5", "bytes 02"};
    QTest::newRow("nested repeat")
        << QByteArray("repeat 2\n partial 01\n repeat 2\n  partial 02\n end\nend\n")
        << QStringList{"bytes 01", "bytes 02", "bytes 02", "bytes 01", "bytes 02", "bytes 02"};
    QTest::newRow("repeat 0") << QByteArray("repeat 0\npartial 01\nend\n") << QStringList{};
    QTest::newRow("empty repeat, huge count")
        << QByteArray("partial 01\nrepeat 9223372036854775807\n# nothing\nend\npartial 02\n")
        << QStringList{"bytes 01", "bytes 02"};
    QTest::newRow("huge repeat of an empty repeat")
        << QByteArray("repeat 9223372036854775807\nrepeat 5\nend\nend\npartial 03\n")
        << QStringList{"bytes 03"};
}

void TestSimulator::script()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, expected);
    std::string error;
    const auto steps = parseScript(script.toStdString(), &error);
    QVERIFY2(steps, error.c_str());
    QStringList actual;
    for (const SimStep& step : *steps) {
        const QString hex = QString::fromStdString(hexText(step.bytes));
        switch (step.kind) {
        case SimStep::Kind::Frame:
            actual << "frame " + hex;
            break;
        case SimStep::Kind::Bytes:
            actual << "bytes " + hex;
            break;
        case SimStep::Kind::Wait:
            actual << "wait " + QString::number(step.milliseconds);
            break;
        case SimStep::Kind::Period:
            actual << "period " + QString::number(step.milliseconds);
            break;
        }
    }
    QCOMPARE(actual, expected);
}

void TestSimulator::scriptErrors_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown command") << QByteArray("frame 0A\nsend 0A\n") << "line 2: unknown";
    QTest::newRow("not hex") << QByteArray("partial 0G\n") << "line 1: not a hex digit";
    QTest::newRow("comment after bytes")
        << QByteArray("partial 0A # noise\n") << "line 1: not a hex digit";
    QTest::newRow("frame too long")
        << QByteArray("frame 0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4 F0\n")
        << "line 1: a frame has at most 15 bytes";
    QTest::newRow("empty frame") << QByteArray("frame\n") << "line 1: frame needs";
    QTest::newRow("show bad text") << QByteArray("show 6 1.23\n") << "line 1: not a display text";
    QTest::newRow("show bad code")
        << QByteArray("show volts 1.234\n") << "line 1: not a function code";
    QTest::newRow("show bad multiplier")
        << QByteArray("show 6 1.234 K\n") << "line 1: neither a multiplier";
    QTest::newRow("wait without time") << QByteArray("wait\n") << "line 1: wait needs";
    QTest::newRow("negative period") << QByteArray("period -5\n") << "line 1: period needs";
    QTest::newRow("end without repeat") << QByteArray("end\n") << "line 1: end without repeat";
    QTest::newRow("repeat without end")
        << QByteArray("repeat 2\npartial 01\n") << "line 2: repeat without end";
    QTest::newRow("runaway repeat")
        << QByteArray("repeat 100000\nrepeat 100000\npartial 01\nend\nend\n")
        << "line 5: the script expands to more than";
}

void TestSimulator::scriptErrors()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, error);
    std::string actual;
    QVERIFY(!parseScript(script.toStdString(), &actual));
    QVERIFY2(QString::fromStdString(actual).startsWith(error), actual.c_str());
}

void TestSimulator::steadyFramesReachThePort()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--scenario", "steady", "--period", "50"}),
             sim.process().readAllStandardError().constData());
    QVERIFY(QFileInfo(sim.linkPath()).isSymLink());
    QCOMPARE(QFileInfo(sim.linkPath()).canonicalFilePath(), sim.devicePath());

    QSerialPort port;
    QVERIFY2(openPort(port, sim.linkPath()), qPrintable(port.errorString()));
    QByteArray received;
    connect(&port, &QSerialPort::readyRead, this, [&] { received += port.readAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(received.size() >= 3 * kFrameSize, 10000);

    // Any 15 consecutive bytes of the stream are a rotation of the frame.
    for (qsizetype start = 0; start + kFrameSize <= received.size(); ++start) {
        const auto bytes =
            std::span(reinterpret_cast<const std::uint8_t*>(received.constData()) + start,
                      std::size_t(kFrameSize));
        const auto decoded = decodeFrame(bytes);
        QVERIFY2(decoded == kSteadyReading, hexText(bytes).c_str());
    }
}

void TestSimulator::terminationRemovesTheLink()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "sweep", "--period", "20"}));
    QVERIFY(QFileInfo(sim.linkPath()).isSymLink());
    QVERIFY(sim.terminate());
    QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
    QVERIFY(!QFileInfo::exists(sim.linkPath()));
}

void TestSimulator::countEndsAfterDeliveredFrames()
{
    SimProcess sim;
    // Frames sent while nobody has the port open do not count.
    QVERIFY(sim.start({"--scenario", "steady", "--period", "20", "--count", "3"}));
    QSerialPort port;
    QVERIFY2(openPort(port, sim.linkPath()), qPrintable(port.errorString()));
    QByteArray received;
    connect(&port, &QSerialPort::readyRead, this, [&] { received += port.readAll(); });
    QSignalSpy finished(&sim.process(), &QProcess::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(sim.process().exitCode(), 0);
    QCOMPARE(received.size(), 3 * kFrameSize);
    QVERIFY(!QFileInfo::exists(sim.linkPath()));
}

void TestSimulator::scriptIsPlayedAndLogged()
{
    SimProcess sim;
    const QString scriptPath = sim.directory() + "/meter.txt";
    const QString logPath = sim.directory() + "/log.txt";
    QVERIFY(writeFile(scriptPath, "# one reading, a short read, silence\n"
                                  "show 6 -1.234\n"
                                  "repeat 2\n"
                                  "partial 0A 14 20\n"
                                  "end\n"
                                  "wait 10\n"
                                  "show 128 _0L_\n"));
    QVERIFY(sim.start({"--script", scriptPath, "--once", "--period", "1", "--log", logPath}));
    QSignalSpy finished(&sim.process(), &QProcess::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(sim.process().exitCode(), 0);

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    // time, status (nobody had the port open), bytes, what the decoder makes of them
    const QRegularExpression linePattern(
        QStringLiteral(R"(^\d\d:\d\d:\d\d\.\d\d\d no-reader ([0-9A-F ]+) (\{.*\})$)"));
    const char* const expectedHex[] = {"0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4", "0A 14 20",
                                       "0A 14 20", "0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0"};
    const char* const expectedDisplay[] = {"-1.234", "-1.234", "-1.234", "OL"};
    for (int i = 0; i < 4; ++i) {
        const auto match = linePattern.match(lines[i]);
        QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
        QCOMPARE(match.captured(1), QString::fromLatin1(expectedHex[i]));
        const QJsonObject json = QJsonDocument::fromJson(match.captured(2).toUtf8()).object();
        QCOMPARE(json.value("ok").toBool(), true);
        QCOMPARE(json.value("display").toString(), QString::fromLatin1(expectedDisplay[i]));
    }
}

void TestSimulator::replacesAStaleLink()
{
    SimProcess sim;
    QVERIFY(QFile::link(sim.directory() + "/gone", sim.linkPath()));
    QVERIFY(sim.start({"--scenario", "steady"}));
    QCOMPARE(QFileInfo(sim.linkPath()).symLinkTarget(), sim.devicePath());
    QVERIFY(sim.terminate());
}

void TestSimulator::refusesToReplaceAFile()
{
    SimProcess sim;
    QVERIFY(writeFile(sim.linkPath(), "keep me"));
    QVERIFY(!sim.start({"--scenario", "steady"}));
    QVERIFY(sim.process().state() == QProcess::NotRunning || sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitCode(), 1);
    QVERIFY(sim.process().readAllStandardError().contains("not a symbolic link"));
    QFile file(sim.linkPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestSimulator::rejectsUnknownScenario()
{
    SimProcess sim;
    QVERIFY(!sim.start({"--scenario", "nonsense"}));
    QVERIFY(sim.process().state() == QProcess::NotRunning || sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitCode(), 2);
    QVERIFY(!QFileInfo::exists(sim.linkPath()));
}

void TestSimulator::negativeScenarioShowsEachKindOfNegative()
{
    std::set<std::uint32_t> functions;
    for (const auto& frame : decodedFrames(*scenarioSteps("negative"))) {
        QVERIFY(frame);
        QVERIFY2(frame->display.front() == '-', frame->display.c_str());
        functions.insert(frame->function);
    }
    // DC volts, DC amperes, degrees Celsius and Fahrenheit.
    QCOMPARE(functions, (std::set<std::uint32_t>{6, 32, 64, 514}));
}

void TestSimulator::scriptUpToTheStepLimitIsAccepted()
{
    const std::string million = "repeat 1000\nrepeat 1000\nwait 1\nend\nend\n";
    QCOMPARE(parseScript(million).value_or(SimSteps{}).size(), std::size_t(1000000));
    std::string error;
    QVERIFY(!parseScript(million + "wait 1\n", &error));
    QVERIFY2(error.starts_with("line 6: the script expands to more than 1000000 steps"),
             error.c_str());
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
