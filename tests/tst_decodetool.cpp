// SPDX-License-Identifier: MIT
// dmm-decode end to end: hex reads in, one JSON object per read out, with the
// reading carried from line to line; and the recorder's logged-value rule that
// its "logged" field shows.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>

#include <sstream>

#include "HexBytes.h"
#include "JsonLine.h"
#include "RecordValue.h"

namespace {

// Frames as the meter sends them, position 0 first.
const char* const kMinus1234DcVolts = "0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4";
const char* const kOverloadOhmsE3 = "0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0";
const char* const k25_3DegreesC = "0A 10 20 3A 4D 5C 67 79 8F 9E A1 B0 C0 D0 E0";
const char* const kLowBattery1234DcVolts = "0A 14 24 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4";
const char* const k1234AcDcVolts = "0A 16 20 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4";
const char* const kBlankDcVolts = "0A 14 20 30 40 50 60 70 80 90 A0 B0 C0 D0 E4";
const char* const k10_00NanoFarads = "0A 10 20 30 4A 5E 6B 7F 8B 9E AB B0 C1 D4 E0";
const char* const k123_4MicroAmperesDc = "0A 14 20 30 4A 5A 6D 78 8F 95 AE B0 C0 D2 E2";

QList<QJsonObject> runDecode(const QByteArray& input, QString* failure)
{
    QProcess process;
    process.start(QStringLiteral(DMM_DECODE_PATH), {});
    if (!process.waitForStarted()) {
        *failure = process.errorString();
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished() || process.exitCode() != 0) {
        *failure = QStringLiteral("dmm-decode failed: ") + process.readAllStandardError();
        return {};
    }
    QList<QJsonObject> objects;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (!document.isObject()) {
            *failure = QStringLiteral("not a JSON object: ") + QString::fromUtf8(line) + " (" +
                       error.errorString() + ")";
            return {};
        }
        objects.append(document.object());
    }
    return objects;
}

QJsonObject reading(const char* display, const char* exponent, qint64 function, const char* value,
                    const char* meter, int decimals, const char* prefix, const char* unit,
                    QJsonValue logged)
{
    return QJsonObject{
        {"ok", true},     {"display", display}, {"exponent", exponent}, {"function", function},
        {"value", value}, {"meter", meter},     {"decimals", decimals}, {"prefix", prefix},
        {"unit", unit},   {"logged", logged},
    };
}

const QJsonObject kNoFrame{{"ok", false}};

// Numbers compare within float precision: the tool prints 7 significant digits.
bool sameJson(const QJsonObject& actual, const QJsonObject& expected)
{
    if (actual.keys() != expected.keys())
        return false;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QJsonValue a = actual.value(it.key());
        if (it.key() == QLatin1String("error")) {
            if (!a.isString() || a.toString().isEmpty())
                return false;
        } else if (it->isDouble() && a.isDouble()) {
            const double scale = std::max(std::abs(it->toDouble()), 1e-30);
            if (std::abs(a.toDouble() - it->toDouble()) / scale > 1e-6)
                return false;
        } else if (a != *it) {
            return false;
        }
    }
    return true;
}

} // namespace

class TestDecodeTool : public QObject
{
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
    void loggedValue_data();
    void loggedValue();
    void jsonStrings_data();
    void jsonStrings();
    void longLinesAreCutAfterTheSixteenthByte_data();
    void longLinesAreCutAfterTheSixteenthByte();
    void commandLineAsTheOtherTools_data();
    void commandLineAsTheOtherTools();
};

void TestDecodeTool::decodes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QJsonObject>>("expected");

    const QJsonObject minus1234 = reading("-1.234", "0", 6, "-1.234", "-1.234", 0, "", "V", -1.234);
    const auto line = [](const char* hex) { return QByteArray(hex) + '\n'; };

    QTest::newRow("worked example") << line(kMinus1234DcVolts) << QList{minus1234};
    QTest::newRow("rotation starting at 8F")
        << line("8F 94 AE B0 C0 D0 E4 0A 14 20 31 4A 5B 6D 78") << QList{minus1234};
    QTest::newRow("without blanks") << line("0A1420314A5B6D788F94AEB0C0D0E4") << QList{minus1234};
    QTest::newRow("partial read after a good frame")
        << line(kMinus1234DcVolts) + line("0A 10 20 30 4A 5B 6D") << QList{minus1234, minus1234};
    QTest::newRow("partial read first") << line("0A 14 20") << QList{kNoFrame};
    QTest::newRow("no position 0")
        << line("14 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4") << QList{kNoFrame};
    QTest::newRow("comments and blank lines")
        << "# captured at the bench\n\n   \n" + line(kMinus1234DcVolts) << QList{minus1234};
    QTest::newRow("not hex") << line("0A 14 2G")
                             << QList{QJsonObject{{"ok", false}, {"error", "?"}}};
    QTest::newRow("odd digit count")
        << line("0A 14 2") << QList{QJsonObject{{"ok", false}, {"error", "?"}}};
    QTest::newRow("more than 15 bytes") << line("0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4 0A")
                                        << QList{QJsonObject{{"ok", false}, {"error", "?"}}};
    QTest::newRow("reading survives a bad line")
        << line(kMinus1234DcVolts) + line("xyz") + line("0A")
        << QList{minus1234, QJsonObject{{"ok", false}, {"error", "?"}}, minus1234};
    QTest::newRow("overload ohms, exponent 3")
        << line(kOverloadOhmsE3) << QList{reading("OL", "3", 128, "OL", "OL", 0, "K", "W", 9900)};
    QTest::newRow("temperature") << line(k25_3DegreesC)
                                 << QList{reading("2.53C", "1", 32, "25.3", "25.3", 1, "", "C",
                                                  25.3)};
    QTest::newRow("low-battery bit stays in the word")
        << line(kLowBattery1234DcVolts)
        << QList{reading("1.234", "0", 0x80000006LL, "1.234", "1.234", 0, "", "V", 1.234)};
    QTest::newRow("function the meter panel does not format")
        << line(k1234AcDcVolts)
        << QList{reading("1.234", "0", 7, "1.234", "----", 0, "", "V", 1.234)};
    QTest::newRow("blank logs nothing")
        << line(kBlankDcVolts)
        << QList{reading("    ", "3", 6, "    ", "    ", 3, "", "V", QJsonValue::Null)};
    QTest::newRow("capacitance") << line(k10_00NanoFarads)
                                 << QList{reading("1.000", "-2", 8, "10.00", "10.00", 1, "n", "F",
                                                  0.01)};
    QTest::newRow("microamperes") << line(k123_4MicroAmperesDc)
                                  << QList{reading("1.234", "-4", 514, "123.4", "123.4", 2, "u",
                                                   "A", 1.234e-4)};
}

void TestDecodeTool::decodes()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QJsonObject>, expected);
    QString failure;
    const QList<QJsonObject> actual = runDecode(input, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        QVERIFY2(
            sameJson(actual[i], expected[i]),
            qPrintable(
                QStringLiteral("line %1: %2\nexpected %3")
                    .arg(i + 1)
                    .arg(QString::fromUtf8(QJsonDocument(actual[i]).toJson(QJsonDocument::Compact)),
                         QString::fromUtf8(
                             QJsonDocument(expected[i]).toJson(QJsonDocument::Compact)))));
}

void TestDecodeTool::loggedValue_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<int>("function");
    QTest::addColumn<bool>("logged");
    QTest::addColumn<float>("value");

    QTest::newRow("digits times ten to the exponent") << "1.234"
                                                      << "-3" << 6 << true << 0.001234f;
    QTest::newRow("negative") << "-1.234"
                              << "0" << 6 << true << -1.234f;
    QTest::newRow("blanks around") << " 1.234 "
                                   << "2" << 128 << true << 123.4f;
    QTest::newRow("any function when it converts") << "1.234"
                                                   << "0" << 7 << true << 1.234f;
    QTest::newRow("OL ohms E3") << "OL"
                                << "3" << 128 << true << 9900.0f;
    QTest::newRow("-OL AC volts E0") << "-OL"
                                     << "0" << 5 << true << -6.6f;
    QTest::newRow("O.L DC volts E1") << "O.L"
                                     << "1" << 6 << true << 66.0f;
    QTest::newRow("OL. AC+DC volts") << "OL."
                                     << "2" << 7 << true << 660.0f;
    QTest::newRow("OL amperes E-1") << "OL"
                                    << "-1" << 514 << true << 0.66f;
    QTest::newRow("OL AC amperes") << "OL"
                                   << "0" << 513 << true << 6.6f;
    QTest::newRow("OL AC+DC amperes") << "OL"
                                      << "0" << 515 << true << 6.6f;
    QTest::newRow("OL capacitance") << ".OL"
                                    << "2" << 8 << true << 550.0f;
    QTest::newRow("OL hertz") << "OL"
                              << "6" << 1024 << true << 9.9e6f;
    QTest::newRow("OL degrees C") << "OL"
                                  << "2" << 32 << true << 1100.0f;
    QTest::newRow("-OL degrees F") << "-OL"
                                   << "1" << 64 << true << -1100.0f;
    QTest::newRow("OL ohms 384") << "OL"
                                 << "3" << 384 << true << 1000.0f;
    QTest::newRow("OL plain volts") << "OL"
                                    << "0" << 4 << false << 0.0f;
    QTest::newRow("OL volt-amperes") << "OL"
                                     << "0" << 516 << false << 0.0f;
    QTest::newRow("OL no annunciator") << "OL"
                                       << "3" << 0 << false << 0.0f;
    QTest::newRow("OL exponent not a number") << "OL"
                                              << "x" << 128 << false << 0.0f;
    QTest::newRow("blank") << "    "
                           << "3" << 6 << false << 0.0f;
    QTest::newRow("text without L") << "Auto"
                                    << "3" << 6 << false << 0.0f;
    QTest::newRow("unknown segment") << "1.?34"
                                     << "0" << 6 << false << 0.0f;
}

void TestDecodeTool::loggedValue()
{
    QFETCH(QString, digits);
    QFETCH(QString, exponent);
    QFETCH(int, function);
    QFETCH(bool, logged);
    QFETCH(float, value);
    const auto result = dmm::recordValue(digits.toStdString(), exponent.toStdString(), function);
    QCOMPARE(result.has_value(), logged);
    if (logged)
        QCOMPARE(*result, value);
}

void TestDecodeTool::jsonStrings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("plain") << QByteArray("1.234");
    QTest::newRow("quote and backslash") << QByteArray("a\"b\\c");
    QTest::newRow("control characters") << QByteArray("\n\t\x01\x1f", 4);
    QTest::newRow("high bytes") << QByteArray("\xb5\xff");
}

void TestDecodeTool::jsonStrings()
{
    QFETCH(QByteArray, text);
    const std::string line =
        dmm::JsonLine().add("text", std::string_view(text.constData(), text.size())).str();
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line));
    QVERIFY2(document.isObject(), line.c_str());
    QCOMPARE(document.object().value("text").toString(), QString::fromLatin1(text));
}

void TestDecodeTool::longLinesAreCutAfterTheSixteenthByte_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("lines"); // what is kept of each line
    const QByteArray sixteen = QByteArray(kMinus1234DcVolts) + " F0";
    QTest::newRow("short lines whole")
        << QByteArray("0A 14\n\n# note\nE4") << QStringList{"0A 14", "", "# note", "E4"};
    QTest::newRow("a 16th byte ends what is kept")
        << sixteen + " 11 22 33\n0A\n"
        << QStringList{QString::fromLatin1(sixteen), "0A"};
    QTest::newRow("a megabyte of digits, then the next line")
        << QByteArray(1 << 20, 'A') + "\nE4\n"
        << QStringList{QString(32, 'A'), "E4"};
    QTest::newRow("a long comment") << "#" + QByteArray(1 << 20, 'x') + "\n0A\n"
                                    << QStringList{"#" + QString(31, 'x'), "0A"};
    QTest::newRow("endless blanks") << QByteArray(1 << 20, ' ') + "0A\n0B\n"
                                    << QStringList{QString(4096, ' '), "0B"};
}

void TestDecodeTool::longLinesAreCutAfterTheSixteenthByte()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, lines);
    std::istringstream in(input.toStdString());
    QStringList kept;
    std::string line;
    while (dmm::sim::readHexLine(in, line))
        kept << QString::fromStdString(line);
    QCOMPARE(kept, lines);
    // The 16th byte is enough to refuse the read.
    std::string error;
    if (kept.size() > 1 && kept[0].size() == 47) {
        const auto bytes = dmm::sim::parseHexBytes(kept[0].toStdString(), &error);
        QVERIFY(bytes);
        QCOMPARE(bytes->size(), std::size_t(16));
    }
}

// -v and --version, --help, and what a bad argument ends with: the tools
// alike, but for dmm-log, whose status 2 is a port that does not open.
void TestDecodeTool::commandLineAsTheOtherTools_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a pattern for standard output and error together
    QTest::newRow("dmm-decode -v")
        << DMM_DECODE_PATH << QStringList{"-v"} << 0 << "^dmm-decode \\d+\\.\\d+\\.\\d+\n$";
    QTest::newRow("dmm-log -v") << DMM_LOG_PATH << QStringList{"-v"} << 0
                                << "^dmm-log \\d+\\.\\d+\\.\\d+\n$";
    QTest::newRow("dmm-decode --help: the value field in words")
        << DMM_DECODE_PATH << QStringList{"--help"} << 0
        << "\n  value     the value text as the recorder and the data list keep it\n";
    QTest::newRow("dmm-decode unknown option")
        << DMM_DECODE_PATH << QStringList{"--fast"} << 2
        << "^dmm-decode: Unknown option 'fast'.\nTry dmm-decode --help.\n$";
    QTest::newRow("dmm-decode given a file")
        << DMM_DECODE_PATH << QStringList{"frames.txt"} << 2
        << "^dmm-decode: reads standard input, not frames.txt \\(dmm-decode < FILE\\)\n";
    QTest::newRow("dmm-sim unknown option")
        << DMM_SIM_PATH << QStringList{"--fast"} << 2
        << "^dmm-sim: Unknown option 'fast'.\nTry dmm-sim --help.\n$";
    QTest::newRow("dmm-log unknown option")
        << DMM_LOG_PATH << QStringList{"--fast"} << 1 << "^dmm-log: Unknown option 'fast'.\n";
}

void TestDecodeTool::commandLineAsTheOtherTools()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.closeWriteChannel(); // dmm-decode reading its input ends at once
    QVERIFY(process.waitForFinished(10000));
    const QString said = QString::fromUtf8(process.readAll());
    QCOMPARE(process.exitCode(), status);
    QVERIFY2(said.contains(QRegularExpression(output)), qPrintable(said));
}

QTEST_GUILESS_MAIN(TestDecodeTool)
#include "tst_decodetool.moc"
