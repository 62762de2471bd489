// SPDX-License-Identifier: MIT
#include "AppWindows.h"

#include "AutoMsgForm.h"
#include "DigitalMeterForm.h"
#include "DlgAboutForm.h"
#include "MainWindow.h"
#include "MsgForm.h"

namespace dmm {

AppWindows::AppWindows(TFormMain* mainWindow)
{
    DlgAboutForm = std::make_unique<TDlgAboutForm>(mainWindow);
    AutoMsgForm = std::make_unique<TAutoMsgForm>(mainWindow);
    DigitalMeterForm = std::make_unique<TDigitalMeterForm>(mainWindow, mainWindow->iPort);
    MsgForm = std::make_unique<TMsgForm>(mainWindow);
}

// Destroyed in the reverse order of creation, before the main window.
AppWindows::~AppWindows() = default;

} // namespace dmm
