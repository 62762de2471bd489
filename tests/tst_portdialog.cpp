// SPDX-License-Identifier: MIT
// The port dialog and the port button: only ports found at start-up can be
// chosen, the current one stays selected, and the port is always reopened.
#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "AnalogMeterForm.h"
#include "DigitalMeterForm.h"
#include "DlgRsPortForm.h"
#include "PtyPair.h"
#include "ShellFixture.h"

using namespace dmm;

class TestPortDialog : public QObject
{
    Q_OBJECT
private slots:
    void absentCurrentPortIsSelectedButDisabled();
    void portAboveEightSelectsNothingAndOkKeepsIt();
    void okTakesTheChoice();
    void cancelReopensTheSamePort();
    void eachPortShowsItsDevice();
    void tileStacksTheMetersUnderTheStrip();
};

void TestPortDialog::absentCurrentPortIsSelectedButDisabled()
{
    std::array<bool, 8> present{true, false, false, true, false, false, false, false};
    TDlgRsPortForm dialog(&present);
    dialog.iSelPort = 3;
    dialog.show();
    QVERIFY(dialog.rbtnCom[0]->isEnabled());
    QVERIFY(!dialog.rbtnCom[2]->isEnabled());
    QVERIFY(dialog.rbtnCom[2]->isChecked());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.iSelPort, 3);
}

void TestPortDialog::portAboveEightSelectsNothingAndOkKeepsIt()
{
    std::array<bool, 8> present{};
    present.fill(true);
    TDlgRsPortForm dialog(&present);
    dialog.iSelPort = 10;
    dialog.show();
    for (QRadioButton* button : dialog.rbtnCom)
        QVERIFY(!button->isChecked());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.iSelPort, 10);
}

void TestPortDialog::okTakesTheChoice()
{
    std::array<bool, 8> present{};
    present.fill(true);
    TDlgRsPortForm dialog(&present);
    dialog.iSelPort = 1;
    dialog.show();
    QTest::mouseClick(dialog.rbtnCom[5], Qt::LeftButton);
    QVERIFY(!dialog.rbtnCom[0]->isChecked());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.iSelPort, 6);
}

void TestPortDialog::cancelReopensTheSamePort()
{
    QTemporaryDir dir;
    PtyPair pty;
    QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1")));
    ShellFixture shell(dir.path(), 1);
    QVERIFY(shell.main().serialLink().isOpen());
    bool wasClosedDuringDialog = false;
    QTimer::singleShot(0, this, [&] {
        wasClosedDuringDialog = !shell.main().serialLink().isOpen();
        shell.windows().DlgRsPortForm->reject();
    });
    QTest::mouseClick(shell.main().sbtnPort, Qt::LeftButton);
    QVERIFY(wasClosedDuringDialog);
    QCOMPARE(shell.main().iPort, 1);
    QVERIFY(shell.main().serialLink().isOpen());
    QCOMPARE(shell.windows().DigitalMeterForm->windowTitle(),
             QStringLiteral("Digital Meter : COM 1"));
    QVERIFY(shell.boxCaptions().isEmpty());
}

void TestPortDialog::eachPortShowsItsDevice()
{
    QTemporaryDir dir;
    PtyPair pty;
    QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1")));
    QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("COM3")));
    ShellFixture shell(dir.path(), 1);
    TDlgRsPortForm* dialog = shell.windows().DlgRsPortForm.get();
    QTimer::singleShot(0, this, [&] {
        QCOMPARE(dialog->lblDevice[0]->toolTip(), QFileInfo(pty.slavePath()).canonicalFilePath());
        QCOMPARE(dialog->lblDevice[1]->text(), QStringLiteral("/dev/ttyS1"));
        QCOMPARE(dialog->lblDevice[2]->toolTip(), dir.filePath(QStringLiteral("COM3")));
        QCOMPARE(dialog->rbtnCom[7]->accessibleDescription(), QStringLiteral("/dev/ttyS7"));
        // Nothing overlaps: every device text lies right of its button, inside the panel.
        for (int i = 0; i < 8; ++i) {
            QVERIFY(dialog->lblDevice[i]->geometry().left() >=
                    dialog->rbtnCom[i]->geometry().right());
            QVERIFY(dialog->Panel1->rect().contains(dialog->lblDevice[i]->geometry()));
        }
        dialog->reject();
    });
    QTest::mouseClick(shell.main().sbtnPort, Qt::LeftButton);
}

void TestPortDialog::tileStacksTheMetersUnderTheStrip()
{
    QTemporaryDir dir;
    PtyPair pty;
    QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1")));
    ShellFixture shell(dir.path(), 1);
    QWidget* digital = shell.windows().DigitalMeterForm.get();
    QWidget* analog = shell.windows().AnalogMeterForm.get();
    digital->move(500, 500);
    analog->move(600, 600);
    QTest::mouseClick(shell.main().sbtnWinTile, Qt::LeftButton);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const int strip = shell.main().frameGeometry().height();
    QCOMPARE(digital->frameGeometry().topLeft(), QPoint(0, strip));
    QCOMPARE(digital->frameGeometry().width(), screen.width() / 4);
    QCOMPARE(digital->frameGeometry().height(), (screen.height() - strip) / 4);
    QCOMPARE(analog->frameGeometry().topLeft(),
             QPoint(0, strip + digital->frameGeometry().height()));
    QCOMPARE(analog->frameGeometry().width(), screen.width() / 4);
}

QTEST_MAIN(TestPortDialog)
#include "tst_portdialog.moc"
