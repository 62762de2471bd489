// SPDX-License-Identifier: MIT
// Termination signals as the event loop sees them: a hangup ends the program
// started from a terminal, and stays ignored when it was ignored at the start
// (nohup dmm-log ...).
#include <QtTest>

#include <csignal>

#include "SignalPipe.h"

class TestSignalPipe : public QObject
{
    Q_OBJECT
private slots:
    void hangupIgnoredAtTheStartStaysIgnored_data();
    void hangupIgnoredAtTheStartStaysIgnored();
};

void TestSignalPipe::hangupIgnoredAtTheStartStaysIgnored_data()
{
    QTest::addColumn<bool>("ignoredAtStart");
    QTest::newRow("started by nohup") << true;
    QTest::newRow("started from a terminal") << false;
}

void TestSignalPipe::hangupIgnoredAtTheStartStaysIgnored()
{
    QFETCH(bool, ignoredAtStart);
    std::signal(SIGHUP, ignoredAtStart ? SIG_IGN : SIG_DFL);
    SignalPipe pipe;
    QVERIFY(pipe.install());
    QSignalSpy requested(&pipe, &SignalPipe::terminationRequested);
    struct sigaction now
    {
    };
    QVERIFY(::sigaction(SIGHUP, nullptr, &now) == 0);
    if (ignoredAtStart) {
        QVERIFY(now.sa_handler == SIG_IGN);
        return;
    }
    QVERIFY(now.sa_handler != SIG_IGN && now.sa_handler != SIG_DFL);
    QVERIFY(::raise(SIGHUP) == 0);
    QVERIFY(requested.wait(2000));
}

QTEST_GUILESS_MAIN(TestSignalPipe)
#include "tst_signalpipe.moc"
