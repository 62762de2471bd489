// SPDX-License-Identifier: MIT
// The self-closing warning's countdown and results, the progress window's
// abort question, the about box's lines.
#include <QtTest>

#include "AboutText.h"
#include "AutoMsgForm.h"
#include "DlgAboutForm.h"
#include "GlobalFlags.h"
#include "MessageBox.h"
#include "MsgForm.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace dmm;

class TestMessageWindows : public QObject
{
    Q_OBJECT
private slots:
    void countdownClosesWithYesAfterThreeSeconds();
    void continueGivesRetry();
    void abortGivesAbort();
    void countdownRestartsEachShowing();
    void progressAbortAnsweredNoKeepsLoading();
    void progressAbortAnsweredYesClearsBusy();
    void systemLine_data();
    void systemLine();
    void aboutBoxLines();
};

void TestMessageWindows::countdownClosesWithYesAfterThreeSeconds()
{
    TAutoMsgForm form;
    QSignalSpy finished(&form, &QDialog::finished);
    QElapsedTimer clock;
    clock.start();
    form.open();
    QVERIFY(finished.wait(6000));
    QCOMPARE(finished.first().first().toInt(), int(TAutoMsgForm::Yes));
    QVERIFY2(clock.elapsed() >= 2900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(form.ProgressBar->value(), 30);
}

void TestMessageWindows::continueGivesRetry()
{
    TAutoMsgForm form;
    QSignalSpy finished(&form, &QDialog::finished);
    form.open();
    QTest::mouseClick(form.bbtnYes, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), int(TAutoMsgForm::Retry));
    QVERIFY(!form.Timer1->isActive());
}

void TestMessageWindows::abortGivesAbort()
{
    TAutoMsgForm form;
    QSignalSpy finished(&form, &QDialog::finished);
    form.open();
    QTest::mouseClick(form.bbtnAbort, Qt::LeftButton);
    QCOMPARE(finished.first().first().toInt(), int(TAutoMsgForm::Abort));
}

void TestMessageWindows::countdownRestartsEachShowing()
{
    TAutoMsgForm form;
    form.open();
    QTRY_VERIFY(form.ProgressBar->value() >= 5);
    QTest::mouseClick(form.bbtnYes, Qt::LeftButton);
    form.open();
    QCOMPARE(form.ProgressBar->value(), 0);
    QVERIFY(form.Timer1->isActive());
    form.done(TAutoMsgForm::Abort);
}

void TestMessageWindows::progressAbortAnsweredNoKeepsLoading()
{
    QString caption;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    setMessageBoxHandler([&](const MessageBoxRequest& r) {
        caption = r.caption;
        defaultButton = r.defaultButton;
        return int(QMessageBox::No);
    });
    TMsgForm form;
    bBusy = true;
    form.bbtnAbortClick();
    setMessageBoxHandler({});
    QCOMPARE(caption, QStringLiteral("Warning[W8014]"));
    QCOMPARE(defaultButton, QMessageBox::No);
    QVERIFY(bBusy);
}

void TestMessageWindows::progressAbortAnsweredYesClearsBusy()
{
    setMessageBoxHandler([](const MessageBoxRequest& r) {
        return r.text == QStringLiteral("Do you really want to abort import data ?")
                   ? int(QMessageBox::Yes)
                   : int(QMessageBox::No);
    });
    TMsgForm form;
    form.show();
    bBusy = true;
    QTest::mouseClick(form.bbtnAbort, Qt::LeftButton);
    setMessageBoxHandler({});
    QVERIFY(!bBusy);
    QVERIFY(form.isVisible()); // the loader hides it, not the button
}

void TestMessageWindows::systemLine_data()
{
    QTest::addColumn<QString>("kernelType");
    QTest::addColumn<QString>("kernelVersion");
    QTest::addColumn<QString>("line");
    QTest::newRow("Debian 12") << "linux"
                               << "6.1.0-18-amd64"
                               << "System: Linux 6.1";
    QTest::newRow("Windows 7") << "winnt"
                               << "6.1.7601"
                               << "System: Windows NT 6.1";
    QTest::newRow("other") << "freebsd"
                           << "14.0-RELEASE"
                           << "System: Unknown 14.0";
    QTest::newRow("no version") << "linux"
                                << ""
                                << "System: Linux 0.0";
}

void TestMessageWindows::systemLine()
{
    QFETCH(QString, kernelType);
    QFETCH(QString, kernelVersion);
    QFETCH(QString, line);
    QCOMPARE(dmm::systemLine(kernelType, kernelVersion), line);
}

void TestMessageWindows::aboutBoxLines()
{
    TDlgAboutForm about;
    const QStringList lines = about.Memo1->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[0], QStringLiteral("Kt6180"));
    QCOMPARE(lines[1], QStringLiteral("Data Logging System"));
    QCOMPARE(lines[2], QStringLiteral("Ver 5.0.0.3"));
    QCOMPARE(lines[3], QStringLiteral("Nov 27, 2023"));
    QCOMPARE(lines[4], QStringLiteral("(C) 2026 the DMM Logger"));
    QCOMPARE(lines[5], QStringLiteral("developers. MIT licence."));
    QVERIFY(lines[6].startsWith(QStringLiteral("System: ")));
    QVERIFY(about.Memo1->isReadOnly());
}

QTEST_MAIN(TestMessageWindows)
#include "tst_messagewindows.moc"
