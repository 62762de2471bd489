// SPDX-License-Identifier: MIT
// The main window: a strip across the top of the screen with the menus and
// the tool buttons. It owns the settings, the serial port and the current
// reading (through the acquisition loop), and hands each reading to the views.
#pragma once

#include <QMainWindow>
#include <QStringList>

#include <array>

#include "AcquisitionLoop.h"
#include "SerialLink.h"

class QAction;
class QFrame;
class QMenu;
class QToolButton;

namespace dmm {

class AppWindows;

class TFormMain : public QMainWindow
{
    Q_OBJECT
public:
    TFormMain();
    ~TFormMain() override;

    // The other windows, created after the main window; set once by main().
    void setWindows(AppWindows* windows);

    // Shell state read by the other windows.
    int iPort = 1;
    std::array<bool, kProbedPorts> bPortPresent{};
    double dHiLimit = 0.0;
    double dLowLimit = 0.0;
    bool bNotifyDesktop = false; // the comparator's "Notify the desktop"
    int iTaskBarHeight = 0;
    QString startupDirectory;
    QStringList slSettings;

    const CurrentReading& reading() const { return m_loop.reading(); }
    AcquisitionLoop& acquisitionLoop() { return m_loop; }
    SerialLink& serialLink() { return m_link; }

    // Opens `iPort`; on failure the link's boxes are shown and false returned.
    bool OpenPort(int port);
    void UpdateLinkControls();
    // Closes as the close command does but asks nothing and shows no box: a
    // running run stops, unsaved readings keep their temporary files.
    void closeWithoutQuestions();
    // The strip across the top of the screen: full width, menu bar and one row of buttons.
    void placeStrip();

    // Handlers of the tool buttons (the menu entries forward to them).
    void sbtnLinkClick();
    void sbtnDigitMeterClick();
    void sbtnAnalogMeterClick();
    void sbtnComparatorClick();
    void sbtnGraphicalClick();
    void sbtnDataListClick();
    void sbtnWinTileClick();
    void sbtnPortClick();
    void sbtnAboutClick();

    QFrame* Bevel1 = nullptr;
    QToolButton* sbtnLink = nullptr;
    QToolButton* sbtnDigitMeter = nullptr;
    QToolButton* sbtnAnalogMeter = nullptr;
    QToolButton* sbtnDataList = nullptr;
    QToolButton* sbtnGraphical = nullptr;
    QToolButton* sbtnComparator = nullptr;
    QToolButton* sbtnWinTile = nullptr;
    QToolButton* sbtnPort = nullptr;
    QToolButton* sbtnAbout = nullptr;

    QMenu* miFile = nullptr;
    QAction* miExit = nullptr;
    QAction* miLink = nullptr;
    QMenu* miWindow = nullptr;
    QAction* miTile = nullptr;
    QAction* miDigitalMeter = nullptr;
    QAction* miAnalogMeter = nullptr;
    QAction* miComparator = nullptr;
    QAction* miGraphical = nullptr;
    QAction* miDataList = nullptr;
    QAction* miPort = nullptr;
    QMenu* miHelp = nullptr;
    QAction* miAbout = nullptr;

signals:
    // The main window has closed: settings written, polling stopped, port closed.
    void closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void buildMenus();
    void buildToolButtons();
    QToolButton* makeToolButton(int left, const QString& art, int hint,
                                const QString& disabledArt = {});
    void readSettings();
    bool FormCloseQuery();
    void FormClose();
    // Writes iPort and the limits; a failure is reported with the reason.
    void writeSettings();
    // The device each of COM1..COM8 stands for.
    std::array<QString, kProbedPorts> portDevices() const;
    void ShowCommSettingError();
    void showWarning(AcquisitionLoop::Warning warning);
    void handOverReading(const MeterText& meterText);

    SerialLink m_link;
    AcquisitionLoop m_loop;
    AppWindows* m_windows = nullptr;
    bool m_closed = false;
    bool m_withoutQuestions = false;
};

} // namespace dmm
