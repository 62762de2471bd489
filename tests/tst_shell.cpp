// SPDX-License-Identifier: MIT
// The main window: start-up opens the saved port or warns, the menu tree, the
// link controls, the view messages and closing with the settings file.
#include <QtTest>

#include <QCheckBox>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

#include "ComparatorForm.h"
#include "DigitalMeterForm.h"
#include "DlgHiLowForm.h"
#include "GlobalFlags.h"
#include "LinkControls.h"
#include "PtyPair.h"
#include "SerialLink.h"
#include "ShellFixture.h"
#include "ViewMessages.h"

using namespace dmm;

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void startupOpensTheSavedPort();
    void startupWithAMissingPortWarnsAndGoesOn();
    void startupWithABusyPortWarnsWithTheReason();
    void startupWithoutSettingsTakesTheFallbacks();
    void startupWithAPortNumberBeyondTenSaysWhichExist();
    void menuTree();
    void linkControlsFollowTheLink();
    void busyDisablesTheLink();
    void linkMessagesMakeAndReleaseTheLink();
    void closeWritesTheSettingsAndClosesThePort();
    void notifyChoiceIsKeptInTheSettings();
    void settingsWriteFailureIsReportedAndCloseCompletes();
    void buttonsWithPicturesHaveAccessibleNames();
    void stripSitsAboveTheDigitalMeter();
    void linkControlsForLinkAndBusy_data();
    void linkControlsForLinkAndBusy();
};

namespace {

// A pseudo-terminal linked as COM1 in a scratch directory.
struct PortDirectory
{
    QTemporaryDir dir;
    PtyPair pty;
    PortDirectory() { QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1"))); }
};

} // namespace

void TestShell::startupOpensTheSavedPort()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    QVERIFY(shell.main().serialLink().isOpen());
    QCOMPARE(shell.main().serialLink().devicePath(),
             QFileInfo(port.pty.slavePath()).canonicalFilePath());
    QVERIFY(shell.boxCaptions().isEmpty());
    QCOMPARE(shell.main().iPort, 1);
    QCOMPARE(shell.main().dHiLimit, 3.0);
    QCOMPARE(shell.main().dLowLimit, 1.0);
    QVERIFY(shell.main().bPortPresent[0]);
    QCOMPARE(shell.main().startupDirectory, QDir::currentPath());
}

void TestShell::startupWithAMissingPortWarnsAndGoesOn()
{
    QTemporaryDir dir;
    QFile::link(dir.filePath(QStringLiteral("no-such-device")),
                dir.filePath(QStringLiteral("COM1")));
    ShellFixture shell(dir.path(), 1);
    QCOMPARE(shell.boxCaptions(),
             (QStringList{QStringLiteral("Error[E9001]"), QStringLiteral("Warning[W8001]")}));
    QCOMPARE(shell.boxes()[0].text, QStringLiteral("The specified serial port open error."));
    QVERIFY2(!shell.boxes()[0].detail.isEmpty(), "the system's reason is shown");
    QCOMPARE(shell.boxes()[1].icon, QMessageBox::Warning);
    QVERIFY(!shell.main().serialLink().isOpen());
    QVERIFY(!shell.main().bPortPresent[0]);
    QVERIFY(shell.windows().DigitalMeterForm->isVisible());
}

void TestShell::startupWithABusyPortWarnsWithTheReason()
{
    PortDirectory port;
    SerialLink otherProgram;
    QVERIFY(otherProgram.OpenPort(1, port.dir.path()));
    ShellFixture shell(port.dir.path(), 1);
    QCOMPARE(shell.boxCaptions(),
             (QStringList{QStringLiteral("Error[E9001]"), QStringLiteral("Warning[W8001]")}));
    QVERIFY2(shell.boxes()[0].detail.startsWith(
                 QStringLiteral("COM1: The port is in use by another program (process %1")
                     .arg(QCoreApplication::applicationPid())),
             qPrintable(shell.boxes()[0].detail));
    QVERIFY(!shell.main().bPortPresent[0]);
    QVERIFY(!shell.main().serialLink().isOpen());
}

void TestShell::startupWithoutSettingsTakesTheFallbacks()
{
    QTemporaryDir dir;
    ShellFixture shell(dir.path(), 0);
    QCOMPARE(shell.main().iPort, 2);
    QVERIFY(shell.main().dHiLimit > shell.main().dLowLimit);
}

void TestShell::startupWithAPortNumberBeyondTenSaysWhichExist()
{
    QTemporaryDir dir;
    ShellFixture shell(dir.path(), 11);
    QCOMPARE(shell.main().iPort, 11);
    QCOMPARE(shell.boxCaptions(),
             (QStringList{QStringLiteral("Error[E9001]"), QStringLiteral("Warning[W8001]")}));
    QCOMPARE(shell.boxes()[0].detail,
             QStringLiteral("Port 11 does not exist: the ports are COM1 to COM10."));
}

void TestShell::menuTree()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    QStringList topLevel;
    for (QAction* action : shell.main().menuBar()->actions())
        topLevel << action->text();
    QCOMPARE(topLevel, (QStringList{"&File", "&Link", "&Window", "&Port", "&Help"}));
    QCOMPARE(shell.main().miHelp->actions().size(), 1);
    QCOMPARE(shell.main().miHelp->actions().first()->text(), QStringLiteral("&About..."));
    QStringList window;
    for (QAction* action : shell.main().miWindow->actions())
        window << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(window, (QStringList{"&Tile", "-", "&Digital Meter", "&Analog Meter", "&Comparator",
                                  "&Graphical Recorder", "Data &List"}));
    QCOMPARE(shell.main().miFile->actions().first()->text(), QStringLiteral("E&xit"));
}

void TestShell::linkControlsFollowTheLink()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    TFormMain& main = shell.main();
    QCOMPARE(main.sbtnLink->toolTip(), QStringLiteral("Link to DMM"));
    shell.clickLink();
    QVERIFY(main.sbtnLink->isChecked());
    QVERIFY(main.acquisitionLoop().TimerGetSd().isActive());
    QCOMPARE(main.miLink->text(), QStringLiteral("Un&link"));
    QCOMPARE(main.sbtnLink->toolTip(), QStringLiteral("Unlink DMM"));
    QVERIFY(!main.miPort->isEnabled());
    QVERIFY(!main.miHelp->menuAction()->isEnabled());
    QVERIFY(!main.sbtnPort->isEnabled());
    QVERIFY(!main.sbtnAbout->isEnabled());
    QVERIFY(main.sbtnLink->isEnabled());

    // The Link menu entry inverts the button and runs its handler, once the
    // trigger (a screen reader's Press) has returned.
    main.miLink->trigger();
    QVERIFY(main.sbtnLink->isChecked());
    QTRY_VERIFY(!main.sbtnLink->isChecked());
    QVERIFY(!main.acquisitionLoop().TimerGetSd().isActive());
    QCOMPARE(main.miLink->text(), QStringLiteral("&Link"));
    QVERIFY(main.miPort->isEnabled());
    QVERIFY(main.sbtnAbout->isEnabled());
}

void TestShell::busyDisablesTheLink()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    bBusy = true;
    shell.main().UpdateLinkControls();
    QVERIFY(!shell.main().sbtnLink->isEnabled());
    QVERIFY(!shell.main().miLink->isEnabled());
    QVERIFY(!shell.main().sbtnPort->isEnabled());
    bBusy = false;
    sendViewMessage(&shell.main(), WM_BUSY_END);
    QVERIFY(shell.main().sbtnLink->isEnabled());
    QVERIFY(shell.main().miLink->isEnabled());
}

void TestShell::linkMessagesMakeAndReleaseTheLink()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    postViewMessage(&shell.main(), WM_DMM_LINK);
    QTRY_VERIFY(shell.main().sbtnLink->isChecked());
    QVERIFY(shell.main().acquisitionLoop().isLinked());
    sendViewMessage(&shell.main(), WM_DMM_UNLINK);
    QVERIFY(!shell.main().sbtnLink->isChecked());
    QVERIFY(!shell.main().acquisitionLoop().isLinked());
}

void TestShell::closeWritesTheSettingsAndClosesThePort()
{
    PortDirectory port;
    {
        ShellFixture shell(port.dir.path(), 1);
        shell.main().dHiLimit = 2.5;
        shell.main().dLowLimit = -0.001;
        QFile settings(port.dir.filePath(QStringLiteral("MLQDL.ini")));
        QVERIFY(settings.open(QIODevice::Append));
        settings.write("stale=1\n");
        settings.close();
        shell.clickLink();
        QSignalSpy closed(&shell.main(), &TFormMain::closed);
        QVERIFY(shell.main().close());
        QCOMPARE(closed.count(), 1);
        QVERIFY(!shell.main().serialLink().isOpen());
        QVERIFY(!shell.main().acquisitionLoop().TimerGetSd().isActive());
        QCOMPARE(shell.main().slSettings.size(), 3);
    }
    QFile settings(port.dir.filePath(QStringLiteral("MLQDL.ini")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), QByteArray("iPort=1\nfHiLimit=2.5\nfLowLimit=-0.001\n"));
}

// The limit dialog's "Notify the desktop" goes into the settings file at
// close and comes back with the next start.
void TestShell::notifyChoiceIsKeptInTheSettings()
{
    PortDirectory port;
    {
        ShellFixture shell(port.dir.path(), 1);
        TComparatorForm& comparator = *shell.windows().ComparatorForm;
        QVERIFY(!comparator.notifiesDesktop());
        TDlgHiLowForm* dialog = comparator.limitDialog();
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->cbNotify->setChecked(true);
            dialog->bbtnOk->click();
        });
        comparator.bbtnHiLowLimitClick();
        QVERIFY(shell.main().close());
    }
    QFile settings(port.dir.filePath(QStringLiteral("MLQDL.ini")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().endsWith("\nbNotifyDesktop=1\n"));
    ShellFixture again(port.dir.path(), 0);
    QVERIFY(again.windows().ComparatorForm->notifiesDesktop());
}

void TestShell::settingsWriteFailureIsReportedAndCloseCompletes()
{
    PortDirectory port;
    // A directory where the file should be: the file cannot be written.
    QVERIFY(QDir(port.dir.path()).mkdir(QStringLiteral("MLQDL.ini")));
    ShellFixture shell(port.dir.path(), 0);
    QVERIFY(shell.main().close());
    QVERIFY(shell.boxCaptions().contains(QStringLiteral("Error[E9090]")));
    QVERIFY(!shell.main().serialLink().isOpen());
}

void TestShell::buttonsWithPicturesHaveAccessibleNames()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    for (QToolButton* button : shell.main().centralWidget()->findChildren<QToolButton*>()) {
        QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->toolTip()));
        QCOMPARE(button->accessibleName(), button->toolTip());
        QCOMPARE(button->size(), QSize(23, 22));
    }
}

void TestShell::stripSitsAboveTheDigitalMeter()
{
    PortDirectory port;
    ShellFixture shell(port.dir.path(), 1);
    const QWidget* meter = shell.windows().DigitalMeterForm.get();
    QCOMPARE(shell.main().frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(meter->frameGeometry().top(), shell.main().frameGeometry().height());
    QCOMPARE(meter->frameGeometry().left(), 0);
}

void TestShell::linkControlsForLinkAndBusy_data()
{
    QTest::addColumn<bool>("linked");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("caption"); // string entries: "&Link" 600, "Un&link" 601
    QTest::addColumn<int>("hint");    // "Link to DMM" 1000, "Unlink DMM" 1001
    QTest::addColumn<bool>("link");   // the Link menu entry and button
    QTest::addColumn<bool>("others"); // Port and Help menus, Port and About buttons
    QTest::newRow("unlinked") << false << false << 600 << 1000 << true << true;
    QTest::newRow("unlinked, busy") << false << true << 600 << 1000 << false << false;
    QTest::newRow("linked") << true << false << 601 << 1001 << true << false;
    QTest::newRow("linked, busy") << true << true << 601 << 1001 << false << false;
}

void TestShell::linkControlsForLinkAndBusy()
{
    QFETCH(bool, linked);
    QFETCH(bool, busy);
    const LinkControlsState s = linkControlsState(linked, busy);
    QTEST(s.linkMenuCaption, "caption");
    QTEST(s.linkButtonHint, "hint");
    QTEST(s.linkMenuEnabled, "link");
    QTEST(s.linkButtonEnabled, "link");
    QTEST(s.portAndHelpMenusEnabled, "others");
    QTEST(s.portAndAboutButtonsEnabled, "others");
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
