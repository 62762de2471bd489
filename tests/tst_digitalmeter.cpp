// SPDX-License-Identifier: MIT
// The digital meter: the reading display per function code, the ohm sign,
// the font formula and the panel layout.
#include <QtTest>

#include <QLabel>
#include <QMainWindow>
#include <QScreen>

#include "DigitalMeterForm.h"
#include "Fonts.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

using namespace dmm;

class TestDigitalMeter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fontFormula_data();
    void fontFormula();
    void acDcWord_data();
    void acDcWord();
    void ohmsShowTheOhmSignCentred();
    void temperatureAlignsPrefixRightAndUnitLeft();
    void nullValueTextKeepsThePanel();
    void captionNamesThePort();
    void columnsAreAFifthOfTheWidth();
    void readingIsExposedToScreenReaders();
    void acceptsTheMeterMessages();
    void maximisedFillsTheScreenBelowTheStrip();
    void singleBorderThroughMaximiseAndPlacing();
    void fixedFrameFromAnyFrame_data();
    void fixedFrameFromAnyFrame();

private:
    QMainWindow m_main;
};

void TestDigitalMeter::initTestCase()
{
    installFontSubstitutions();
    m_main.resize(800, 60);
    learnFrameMargins(&m_main);
}

void TestDigitalMeter::fontFormula_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("k");
    QTest::addColumn<int>("size");
    QTest::newRow("value panel 153") << 153 << 0.2 << 27;
    QTest::newRow("unit panel 40") << 40 << 0.5 << 17;
    QTest::newRow("narrow sub-display: negative passes through") << 16 << 0.125 << -1;
    QTest::newRow("zero width") << 0 << 0.2 << -3;
}

void TestDigitalMeter::fontFormula()
{
    QFETCH(int, width);
    QFETCH(double, k);
    QFETCH(int, size);
    QCOMPARE(lcdFontSize(width, k, 96.0), size);
}

void TestDigitalMeter::acDcWord_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("word");
    QTest::newRow("7") << 7 << "DC+AC";
    QTest::newRow("515") << 515 << "DC+AC";
    QTest::newRow("6") << 6 << "DC";
    QTest::newRow("514") << 514 << "DC";
    QTest::newRow("5") << 5 << "AC";
    QTest::newRow("513") << 513 << "AC";
    QTest::newRow("plain volts") << 4 << "";
    QTest::newRow("ohms") << 128 << "";
}

void TestDigitalMeter::acDcWord()
{
    QFETCH(int, function);
    QFETCH(QString, word);
    TDigitalMeterForm meter(&m_main, 1);
    const QString value = QStringLiteral("1.234");
    meter.showReading(&value, QString(), QStringLiteral("V"), function, QString());
    QCOMPARE(meter.pnlAcDc->text(), word);
}

void TestDigitalMeter::ohmsShowTheOhmSignCentred()
{
    TDigitalMeterForm meter(&m_main, 1);
    const QString value = QStringLiteral("12.34");
    meter.showReading(&value, QStringLiteral("K"), QStringLiteral("W"), 128, QString());
    QCOMPARE(meter.FuncPanel->text(), QString(QChar(0x03A9)));
    QCOMPARE(meter.FuncPanel->alignment(), Qt::AlignCenter);
    QCOMPARE(meter.UnitPanel->text(), QStringLiteral("K"));
    QCOMPARE(meter.DataPanel->text(), value);
    QCOMPARE(meter.SubDataPanel->text(), QStringLiteral(" "));
    // Volts afterwards: back to the plain face.
    meter.showReading(&value, QString(), QStringLiteral("V"), 6, QString());
    QCOMPARE(meter.FuncPanel->text(), QStringLiteral("V"));
}

void TestDigitalMeter::temperatureAlignsPrefixRightAndUnitLeft()
{
    TDigitalMeterForm meter(&m_main, 1);
    const QString value = QStringLiteral("25.3");
    meter.showReading(&value, QString(), QStringLiteral("C"), 32, QString());
    QCOMPARE(meter.UnitPanel->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(meter.FuncPanel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(meter.FuncPanel->text(), QStringLiteral("C"));
    QCOMPARE(meter.FuncPanel->font().pointSize(), std::max(1, meter.FuncPanel->width() / 2));
}

void TestDigitalMeter::nullValueTextKeepsThePanel()
{
    TDigitalMeterForm meter(&m_main, 1);
    const QString value = QStringLiteral("123");
    meter.showReading(&value, QString(), QString(), 0, QString());
    meter.showReading(nullptr, QString(), QString(), 0, QStringLiteral("5"));
    QCOMPARE(meter.DataPanel->text(), value);
    QCOMPARE(meter.SubDataPanel->text(), QStringLiteral(" 5 PF"));
}

void TestDigitalMeter::captionNamesThePort()
{
    TDigitalMeterForm meter(&m_main, 3);
    QCOMPARE(meter.windowTitle(), QStringLiteral("Digital Meter : COM 3"));
    meter.setPortCaption(10);
    QCOMPARE(meter.windowTitle(), QStringLiteral("Digital Meter : COM 10"));
}

void TestDigitalMeter::columnsAreAFifthOfTheWidth()
{
    TDigitalMeterForm meter(&m_main, 1);
    meter.resize(600, 300);
    QCOMPARE(meter.FuncPanel->width(), meter.LcdPanel->width() / 5);
    QCOMPARE(meter.UnitPanel->width(), meter.LcdPanel->width() / 5);
    QCOMPARE(meter.SubDataPanel->height(), meter.LcdPanel->height() / 4);
    QCOMPARE(meter.computedFontSize(meter.DataPanel),
             lcdFontSize(meter.DataPanel->width(), 0.2, meter.DataPanel->logicalDpiY()));
    QVERIFY(meter.FuncPanel->geometry().right() <= meter.LcdPanel->contentsRect().right());
    QVERIFY(meter.DataPanel->geometry().right() < meter.UnitPanel->geometry().left());
}

void TestDigitalMeter::readingIsExposedToScreenReaders()
{
    TDigitalMeterForm meter(&m_main, 1);
    const QString value = QStringLiteral("-1.234");
    meter.showReading(&value, QStringLiteral("m"), QStringLiteral("V"), 6, QString());
    QVERIFY(meter.accessibleDescription().contains(QStringLiteral("-1.234")));
    QVERIFY(meter.accessibleDescription().contains(QStringLiteral("DC")));
}

void TestDigitalMeter::acceptsTheMeterMessages()
{
    TDigitalMeterForm meter(&m_main, 1);
    for (auto message :
         {WM_DMM_UNUSED_1025, WM_DMM_NEWDATA, WM_DMM_UNUSED_1027, WM_DMM_UNUSED_1028})
        QVERIFY(sendViewMessage(&meter, message));
}

void TestDigitalMeter::maximisedFillsTheScreenBelowTheStrip()
{
    TDigitalMeterForm meter(&m_main, 1);
    meter.showMaximized();
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QTRY_COMPARE(meter.frameGeometry().top(), m_main.frameGeometry().height());
    QCOMPARE(meter.frameGeometry().left(), 0);
    QCOMPARE(meter.frameGeometry().width(), screen.width());
    QCOMPARE(meter.frameGeometry().bottom(), screen.height() - 1);
    QCOMPARE(meter.FuncPanel->width(), meter.LcdPanel->width() / 5);
    QVERIFY(meter.computedFontSize(meter.DataPanel) > 27);
}

void TestDigitalMeter::singleBorderThroughMaximiseAndPlacing()
{
    // The user cannot resize the window: it is fixed at every size it takes.
    TDigitalMeterForm meter(&m_main, 1);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const int strip = m_main.frameGeometry().height();
    const QRect placed(0, strip, screen.width() / 4, (screen.height() - strip) / 4);
    meter.placeUnderStrip(); // as Tile does, now that the window has its frame
    QCOMPARE(meter.frameGeometry(), placed);
    QCOMPARE(meter.minimumSize(), meter.maximumSize());

    meter.showMaximized();
    QTRY_COMPARE(meter.frameGeometry(), QRect(0, strip, screen.width(), screen.height() - strip));
    QCOMPARE(meter.minimumSize(), meter.maximumSize());

    meter.showNormal();
    QTRY_COMPARE(meter.frameGeometry(), placed);
    QCOMPARE(meter.minimumSize(), meter.maximumSize());

    // Placing again, also from maximised, lands on the same rectangle.
    for (int round = 0; round < 2; ++round) {
        meter.showMaximized();
        QTRY_COMPARE(meter.frameGeometry().size(), QSize(screen.width(), screen.height() - strip));
        meter.placeUnderStrip();
        QVERIFY(!meter.isMaximized());
        QTRY_COMPARE(meter.frameGeometry(), placed);
        QCOMPARE(meter.minimumSize(), meter.maximumSize());
    }
}

void TestDigitalMeter::fixedFrameFromAnyFrame_data()
{
    QTest::addColumn<QMargins>("real");
    QTest::addColumn<QMargins>("fixed");
    // left, top (border and caption), right, bottom
    QTest::newRow("fixed window") << QMargins(1, 20, 1, 1) << QMargins(1, 20, 1, 1);
    QTest::newRow("sizeable window: 4-px handle at the bottom")
        << QMargins(1, 20, 1, 5) << QMargins(1, 20, 1, 1);
    QTest::newRow("thick border") << QMargins(4, 27, 4, 4) << QMargins(4, 27, 4, 4);
    QTest::newRow("no frame") << QMargins() << QMargins();
}

void TestDigitalMeter::fixedFrameFromAnyFrame()
{
    QFETCH(QMargins, real);
    QFETCH(QMargins, fixed);
    QCOMPARE(fixedFrameMargins(real), fixed);
}

QTEST_MAIN(TestDigitalMeter)
#include "tst_digitalmeter.moc"
