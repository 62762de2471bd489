// SPDX-License-Identifier: MIT
#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QMenuBar>
#include <QToolButton>

#include <cstdio>

#include "AfterReturn.h"
#include "AnalogMeterForm.h"
#include "AnalogMeterLogic.h"
#include "AppWindows.h"
#include "Artwork.h"
#include "AutoMsgForm.h"
#include "ComparatorForm.h"
#include "ComparatorLogic.h"
#include "DataPageListForm.h"
#include "DigitalMeterForm.h"
#include "DlgAboutForm.h"
#include "DlgRsPortForm.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "LinkControls.h"
#include "MessageBox.h"
#include "PictureButton.h"
#include "PortAdvice.h"
#include "SettingsFile.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

constexpr int kToolButtonTop = 8;
constexpr int kBevelHeight = 2;

// Views are told of a new reading only when someone can see it.
bool shownAndNotMinimised(const QWidget* window)
{
    return window && window->isVisible() && !window->isMinimized();
}

} // namespace

TFormMain::TFormMain()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      m_loop(&m_link)
{
    const QString title = tableString(kStrModel) + QLatin1Char(' ') + tableString(kStrTitle);
    // The application name, not the display name: Qt would append a display name
    // to every window caption, and the captions are the program's own texts.
    QApplication::setApplicationName(title);
    setWindowTitle(title);
    QApplication::setWindowIcon(artworkIcon(QStringLiteral("icon-app")));
    setWindowIcon(artworkIcon(QStringLiteral("icon-app")));

    iTaskBarHeight = screenMetrics().taskBarHeight;
    bDataValid = 0;

    FormCreate();

    placeStrip();

    connect(&m_loop, &AcquisitionLoop::warningRequested, this, &TFormMain::showWarning);
    connect(&m_loop, &AcquisitionLoop::readingDecoded, this, &TFormMain::handOverReading);
    connect(&m_loop, &AcquisitionLoop::linkReleaseRequested, this, [this] {
        sbtnLink->setChecked(false);
        sbtnLinkClick();
    });
}

TFormMain::~TFormMain() = default;

void TFormMain::setWindows(AppWindows* windows)
{
    m_windows = windows;
    if (!m_windows)
        return;
    // A port linked from the dialog is looked at again: it may open now.
    TDlgRsPortForm* portDialog = m_windows->DlgRsPortForm.get();
    connect(portDialog, &TDlgRsPortForm::portLinked, this, [this, portDialog](int port) {
        bPortPresent[port - 1] = SerialLink::ProbePorts(startupDirectory)[port - 1];
        portDialog->setPortDevices(portDevices());
    });
    connect(m_windows->AutoMsgForm.get(), &QDialog::finished, this, [this](int result) {
        m_loop.answerWarning(result == TAutoMsgForm::Abort
                                 ? AcquisitionLoop::WarningAnswer::Abort
                                 : AcquisitionLoop::WarningAnswer::Continue);
    });
}

void TFormMain::FormCreate()
{
    buildMenus();
    buildToolButtons();

    bPortPresent = SerialLink::ProbePorts(QDir::currentPath());
    startupDirectory = QDir::currentPath();
    readSettings();

    if (!OpenPort(iPort))
        ShowMsgBox(nullptr, kStrWarningCaption, 8001, QMessageBox::Ok, QMessageBox::Warning);
    UpdateLinkControls();
}

void TFormMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    miFile = bar->addMenu(tableString(501));
    // Entries that can open a dialog or a box run after the trigger returns.
    miExit = addCommandAfterReturn(miFile, tableString(509), this, [this] { close(); });

    miLink = bar->addAction(tableString(600));
    connect(miLink, &QAction::triggered, this, [this] {
        runAfterReturn(this, [this] {
            sbtnLink->setChecked(!sbtnLink->isChecked());
            sbtnLinkClick();
        });
    });

    miWindow = bar->addMenu(tableString(631));
    miTile = miWindow->addAction(tableString(632), this, &TFormMain::sbtnWinTileClick);
    miWindow->addSeparator();
    miDigitalMeter = miWindow->addAction(tableString(633), this, &TFormMain::sbtnDigitMeterClick);
    miAnalogMeter = miWindow->addAction(tableString(634), this, &TFormMain::sbtnAnalogMeterClick);
    miComparator = miWindow->addAction(tableString(635), this, &TFormMain::sbtnComparatorClick);
    miGraphical = miWindow->addAction(tableString(636), this, &TFormMain::sbtnGraphicalClick);
    miDataList = miWindow->addAction(tableString(637), this, &TFormMain::sbtnDataListClick);

    miPort = bar->addAction(tableString(701));
    connect(miPort, &QAction::triggered, this,
            [this] { runAfterReturn(this, [this] { sbtnPortClick(); }); });

    miHelp = bar->addMenu(tableString(996));
    // Contents and Index have no help file behind them, so only About is offered.
    miAbout = addCommandAfterReturn(miHelp, tableString(999), this, [this] { sbtnAboutClick(); });
}

QToolButton* TFormMain::makeToolButton(int left, const QString& art, int hint,
                                       const QString& disabledArt)
{
    QToolButton* button = makePictureButton(centralWidget(), art, tableString(hint), disabledArt);
    button->setGeometry(left, kBevelHeight + kToolButtonTop, 23, 22);
    return button;
}

void TFormMain::buildToolButtons()
{
    auto* strip = new QWidget(this);
    setCentralWidget(strip);
    Bevel1 = new QFrame(strip);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 4096, kBevelHeight);

    sbtnLink =
        makeToolButton(8, QStringLiteral("tool-link"), 1000, QStringLiteral("tool-link-disabled"));
    sbtnLink->setCheckable(true);
    sbtnDigitMeter = makeToolButton(40, QStringLiteral("tool-digital-meter"), 1011);
    sbtnAnalogMeter = makeToolButton(64, QStringLiteral("tool-analog-meter"), 1012);
    sbtnDataList = makeToolButton(88, QStringLiteral("tool-data-list"), 1015,
                                  QStringLiteral("tool-data-list-disabled"));
    sbtnGraphical = makeToolButton(112, QStringLiteral("tool-recorder"), 1014);
    sbtnComparator = makeToolButton(136, QStringLiteral("tool-comparator"), 1013);
    sbtnWinTile = makeToolButton(168, QStringLiteral("tool-tile"), 1010);
    sbtnPort = makeToolButton(200, QStringLiteral("tool-port"), 1020);
    sbtnAbout = makeToolButton(232, QStringLiteral("tool-about"), 1031);

    connect(sbtnLink, &QToolButton::clicked, this, &TFormMain::sbtnLinkClick);
    connect(sbtnDigitMeter, &QToolButton::clicked, this, &TFormMain::sbtnDigitMeterClick);
    connect(sbtnAnalogMeter, &QToolButton::clicked, this, &TFormMain::sbtnAnalogMeterClick);
    connect(sbtnComparator, &QToolButton::clicked, this, &TFormMain::sbtnComparatorClick);
    connect(sbtnGraphical, &QToolButton::clicked, this, &TFormMain::sbtnGraphicalClick);
    connect(sbtnAbout, &QToolButton::clicked, this, &TFormMain::sbtnAboutClick);
    connect(sbtnWinTile, &QToolButton::clicked, this, &TFormMain::sbtnWinTileClick);
    connect(sbtnPort, &QToolButton::clicked, this, &TFormMain::sbtnPortClick);

    connect(sbtnDataList, &QToolButton::clicked, this, &TFormMain::sbtnDataListClick);
}

void TFormMain::readSettings()
{
    const Settings settings = readSettingsFile(settingsFilePath(startupDirectory));
    iPort = settings.iPort;
    dHiLimit = settings.fHiLimit;
    dLowLimit = settings.fLowLimit;
    bNotifyDesktop = settings.bNotifyDesktop;
}

bool TFormMain::OpenPort(int port)
{
    PortError error;
    if (m_link.OpenPort(port, startupDirectory, &error))
        return true;
    if (error.kind == PortError::TimeoutsFailed)
        ShowCommSettingError();
    ShowMsgBox(
        nullptr, kStrErrorCaption, 9001, QMessageBox::Ok, QMessageBox::Critical,
        portOpenAdvice(port, startupDirectory, error, findSerialAdapters(adapterSearchRoots())));
    return false;
}

void TFormMain::ShowCommSettingError()
{
    ShowMsgBox(this, kStrErrorCaption, 9009, QMessageBox::Ok, QMessageBox::Warning);
    ShowMsgBox(this, kStrWarningCaption, 8001, QMessageBox::Ok, QMessageBox::Warning);
}

void TFormMain::UpdateLinkControls()
{
    const LinkControlsState state = linkControlsState(sbtnLink->isChecked(), bBusy);
    miLink->setText(tableString(state.linkMenuCaption));
    miLink->setEnabled(state.linkMenuEnabled);
    miPort->setEnabled(state.portAndHelpMenusEnabled);
    miHelp->menuAction()->setEnabled(state.portAndHelpMenusEnabled);
    sbtnLink->setToolTip(tableString(state.linkButtonHint));
    sbtnLink->setAccessibleName(tableString(state.linkButtonHint));
    sbtnLink->setEnabled(state.linkButtonEnabled);
    sbtnPort->setEnabled(state.portAndAboutButtonsEnabled);
    sbtnAbout->setEnabled(state.portAndAboutButtonsEnabled);
}

void TFormMain::sbtnLinkClick()
{
    const bool linked = sbtnLink->isChecked();
    UpdateLinkControls();
    // The recorder stops a run when the meter is no longer polled.
    if (!linked && m_windows)
        sendViewMessage(m_windows->GraphicalForm.get(), WM_DMM_UNLINKED);
    m_loop.setLinked(linked);
}

void TFormMain::sbtnDigitMeterClick()
{
    if (m_windows)
        bringToFront(m_windows->DigitalMeterForm.get(), false);
}

void TFormMain::sbtnAnalogMeterClick()
{
    if (m_windows)
        bringToFront(m_windows->AnalogMeterForm.get());
}

void TFormMain::sbtnComparatorClick()
{
    if (m_windows)
        bringToFront(m_windows->ComparatorForm.get());
}

void TFormMain::sbtnGraphicalClick()
{
    if (m_windows)
        bringToFront(m_windows->GraphicalForm.get());
}

void TFormMain::sbtnDataListClick()
{
    if (m_windows)
        bringToFront(m_windows->DataPageListForm.get());
}

void TFormMain::placeStrip()
{
    const int height = 2 * dialogFrameHeight() + captionHeight() + menuBarHeight(menuBar()) +
                       kBevelHeight + 25 + 8;
    // Fixed from the first placing on, and never sizeable in between: a sizeable
    // moment would give the strip a resize handle and a taller frame.
    if (maximumHeight() == QWIDGETSIZE_MAX)
        setFixedSize(size());
    setOuterGeometry(this, 0, 0, screenMetrics().screen.width(), height);
}

void TFormMain::sbtnWinTileClick()
{
    if (!m_windows)
        return;
    // The strip across the top, the meters in a column a quarter of the screen
    // wide under it, the comparator floating over that column.
    iTaskBarHeight = screenMetrics().taskBarHeight;
    placeStrip();
    TDigitalMeterForm* digital = m_windows->DigitalMeterForm.get();
    digital->placeUnderStrip();
    TAnalogMeterForm* analog = m_windows->AnalogMeterForm.get();
    if (analog->isVisible())
        analog->placeUnder(this, digital);
    TGraphicalForm* recorder = m_windows->GraphicalForm.get();
    if (recorder->isVisible())
        recorder->placeRightOfMeters();
    TDataPageListForm* dataList = m_windows->DataPageListForm.get();
    if (dataList->isVisible())
        dataList->placeUnder(this, digital, analog);
    TComparatorForm* comparator = m_windows->ComparatorForm.get();
    if (comparator->isVisible()) {
        comparator->placeBelow(this);
        comparator->raise();
    }
    activateWindow();
    setFocus();
}

void TFormMain::sbtnPortClick()
{
    if (!m_windows)
        return;
    // The port is closed while the dialog is open and opened again afterwards,
    // also when the choice is cancelled.
    if (m_link.isOpen())
        m_link.closeHandle();
    TDlgRsPortForm* dialog = m_windows->DlgRsPortForm.get();
    dialog->iSelPort = iPort;
    dialog->setStartupDirectory(startupDirectory);
    dialog->setPortDevices(portDevices());
    const bool chosen = dialog->exec() == QDialog::Accepted;
    if (chosen)
        iPort = dialog->iSelPort;
    if (!OpenPort(iPort))
        ShowMsgBox(this, kStrWarningCaption, 8001, QMessageBox::Ok, QMessageBox::Critical);
    else if (chosen)
        writeSettings(); // a later crash keeps the choice
    m_windows->DigitalMeterForm->setPortCaption(iPort);
    bringToFront(m_windows->DigitalMeterForm.get(), false);
}

void TFormMain::sbtnAboutClick()
{
    if (m_windows)
        m_windows->DlgAboutForm->exec();
}

void TFormMain::showWarning(AcquisitionLoop::Warning warning)
{
    if (!m_windows) {
        m_loop.answerWarning(AcquisitionLoop::WarningAnswer::Continue);
        return;
    }
    TAutoMsgForm* form = m_windows->AutoMsgForm.get();
    if (warning == AcquisitionLoop::Warning::NoData)
        form->setMessage(messageCaption(kStrWarningCaption, 8004), tableString(8004),
                         tableString(7006), tableString(7007));
    else
        form->setMessage(messageCaption(kStrWarningCaption, 8000), tableString(8000),
                         tableString(7009), {});
    // Modal for the user, but not a nested event loop: the tick goes on when it finishes.
    form->setWindowModality(Qt::ApplicationModal);
    form->open();
}

void TFormMain::handOverReading(const MeterText& meterText)
{
    if (!m_windows)
        return;
    const CurrentReading& r = reading();
    const QString value = meterText ? QString::fromStdString(*meterText) : QString();
    m_windows->DigitalMeterForm->showReading(
        meterText ? &value : nullptr, QString::fromStdString(r.szPrefix.str()),
        QString::fromStdString(r.szUnit.str()), r.iFunction, QString::fromStdString(r.sPfText));

    // The analog meter's and the comparator's inputs follow every reading; they
    // redraw when told, and are told only while someone can see them.
    TAnalogMeterForm* analog = m_windows->AnalogMeterForm.get();
    handOverAnalog(analog->inputs(), r);
    if (shownAndNotMinimised(analog))
        postViewMessage(analog, WM_DMM_NEWDATA);

    TComparatorForm* comparator = m_windows->ComparatorForm.get();
    if (handOverComparator(comparator->inputs(), r, comparator->hiLimit(),
                           comparator->lowLimit()) &&
        shownAndNotMinimised(comparator))
        postViewMessage(comparator, WM_DMM_NEWDATA);

    // The recorder is told only when its logging timer has asked for a reading.
    TGraphicalForm* recorder = m_windows->GraphicalForm.get();
    if (recorder->state().logTickPending)
        postViewMessage(recorder, WM_DMM_NEWDATA);
}

bool TFormMain::event(QEvent* event)
{
    switch (viewMessageOf(event)) {
    case WM_DMM_UNLINK:
        sbtnLink->setChecked(false);
        sbtnLinkClick();
        return true;
    case WM_DMM_LINK:
        sbtnLink->setChecked(true);
        sbtnLinkClick();
        return true;
    case WM_BUSY_END:
        UpdateLinkControls();
        return true;
    default:
        return QMainWindow::event(event);
    }
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    emit closed();
}

void TFormMain::closeWithoutQuestions()
{
    m_withoutQuestions = true;
    if (m_windows && !m_closed)
        m_windows->GraphicalForm->endForExit();
    close();
}

bool TFormMain::FormCloseQuery()
{
    if (!m_windows || m_withoutQuestions)
        return true;
    TGraphicalForm* recorder = m_windows->GraphicalForm.get();
    if (recorder->state().bufferEmpty || !recorder->state().unsavedData)
        return true;
    const int answer = ShowMsgBox(this, kStrWarningCaption, 8003,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Question, {}, QMessageBox::Cancel,
                                  tableString(8003) + QLatin1Char('\n') + tableString(7005));
    if (answer == QMessageBox::Yes) {
        recorder->sbtnSaveFileClick();
        return !recorder->state().unsavedData;
    }
    return answer == QMessageBox::No;
}

void TFormMain::writeSettings()
{
    // The comparator writes accepted limits back into dHiLimit/dLowLimit.
    Settings settings{iPort, dHiLimit, dLowLimit, bNotifyDesktop};
    slSettings = settingsLines(settings);
    QString reason;
    if (!writeSettingsFile(settingsFilePath(startupDirectory), settings, &reason)) {
        const QString detail = settingsFilePath(startupDirectory) + QStringLiteral(": ") + reason;
        if (m_withoutQuestions) // nobody may be there to answer a box
            std::fprintf(stderr, "dmmlogger: %s %s\n", qPrintable(tableString(9090)),
                         qPrintable(detail));
        else
            ShowMsgBox(this, kStrErrorCaption, 9090, QMessageBox::Ok, QMessageBox::Critical,
                       detail);
    }
}

std::array<QString, kProbedPorts> TFormMain::portDevices() const
{
    std::array<QString, kProbedPorts> devices;
    for (int i = 0; i < kProbedPorts; ++i)
        devices[i] = portDevicePath(i + 1, startupDirectory);
    return devices;
}

void TFormMain::FormClose()
{
    m_closed = true;
    writeSettings();
    if (m_loop.isLinked() || m_loop.TimerGetSd().isActive())
        m_loop.setLinked(false);
    if (m_windows)
        m_windows->AutoMsgForm->done(TAutoMsgForm::Abort);
    m_link.ClosePort();
}

} // namespace dmm
