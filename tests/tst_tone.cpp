// SPDX-License-Identifier: MIT
// The alarm tone on ALSA: it plays on a device that takes samples, and a
// machine without sound stays quiet and fast.
#include <QtTest>

#include "AlarmTone.h"

#include <QElapsedTimer>

using namespace dmm;

class TestTone : public QObject
{
    Q_OBJECT
private slots:
    void playsOnTheNullDevice_data();
    void playsOnTheNullDevice();
    void missingDeviceIsQuickAndRemembered();
    void nonsenseRequestsPlayNothing();
};

void TestTone::playsOnTheNullDevice_data()
{
    QTest::addColumn<int>("frequency");
    QTest::newRow("high, 1047 Hz") << 1047;
    QTest::newRow("low, 523 Hz") << 523;
}

void TestTone::playsOnTheNullDevice()
{
    QFETCH(int, frequency);
    const AlarmSound::Outcome outcome = AlarmSound::playOn("null", frequency, 100);
    if (outcome == AlarmSound::Outcome::NoDevice)
        QSKIP("ALSA's null device cannot be opened here (no ALSA configuration)");
    QCOMPARE(outcome, AlarmSound::Outcome::Played);
}

void TestTone::missingDeviceIsQuickAndRemembered()
{
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(AlarmSound::playOn("no_such_device_for_the_alarm", 1047, 100),
             AlarmSound::Outcome::NoDevice);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    clock.restart();
    for (int i = 0; i < 100; ++i)
        QCOMPARE(AlarmSound::playOn("no_such_device_for_the_alarm", 523, 100),
                 AlarmSound::Outcome::NoDevice);
    QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
}

void TestTone::nonsenseRequestsPlayNothing()
{
    QCOMPARE(AlarmSound::playOn("null", 0, 100), AlarmSound::Outcome::Failed);
    QCOMPARE(AlarmSound::playOn("null", 1047, 0), AlarmSound::Outcome::Failed);
    QCOMPARE(AlarmSound::playOn(nullptr, 1047, 100), AlarmSound::Outcome::Failed);
}

QTEST_GUILESS_MAIN(TestTone)
#include "tst_tone.moc"
