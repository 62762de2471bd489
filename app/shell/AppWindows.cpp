// SPDX-License-Identifier: MIT
#include "AppWindows.h"

#include <QTimer>

#include "AnalogMeterForm.h"
#include "AutoMsgForm.h"
#include "ComparatorForm.h"
#include "DataPageListForm.h"
#include "DialogOption.h"
#include "DigitalMeterForm.h"
#include "DlgAboutForm.h"
#include "DlgExportForm.h"
#include "DlgHiLowForm.h"
#include "DlgRsPortForm.h"
#include "FormViewGraphic.h"
#include "GraphicalForm.h"
#include "LostRunsOffer.h"
#include "MainWindow.h"
#include "MsgForm.h"

namespace dmm {

AppWindows::AppWindows(TFormMain* mainWindow) : m_mainWindow(mainWindow)
{
    DlgRsPortForm = std::make_unique<TDlgRsPortForm>(&mainWindow->bPortPresent, mainWindow);
    DlgAboutForm = std::make_unique<TDlgAboutForm>(mainWindow);
    AutoMsgForm = std::make_unique<TAutoMsgForm>(mainWindow);
    // The digital meter sits under the main window's strip, the analog meter
    // under the digital meter; both show themselves.
    DigitalMeterForm = std::make_unique<TDigitalMeterForm>(mainWindow, mainWindow->iPort);
    AnalogMeterForm = std::make_unique<TAnalogMeterForm>(mainWindow, DigitalMeterForm.get());
    // The recorder owns the buffer the data list shows, so it comes first; it
    // fills the screen right of the meters' column and shows itself.
    GraphicalForm = std::make_unique<TGraphicalForm>(mainWindow, &mainWindow->reading(),
                                                     mainWindow->startupDirectory);
    GraphicalForm->setMainWindow(mainWindow);
    // The data list sits under the two meters.
    DataPageListForm = std::make_unique<TDataPageListForm>(
        mainWindow, DigitalMeterForm.get(), AnalogMeterForm.get(), &GraphicalForm->recordBuffer());
    GraphicalForm->setDataList(DataPageListForm.get());
    DlgHiLowForm = std::make_unique<TDlgHiLowForm>(mainWindow);
    // The comparator starts hidden with the limits read from the settings file.
    ComparatorForm = std::make_unique<TComparatorForm>(mainWindow, &mainWindow->dHiLimit,
                                                       &mainWindow->dLowLimit);
    ComparatorForm->setLimitDialog(DlgHiLowForm.get());
    ComparatorForm->setNotifyTarget(&mainWindow->bNotifyDesktop);
    DialogOption = std::make_unique<TDialogOption>(GraphicalForm.get());
    GraphicalForm->setOptionDialog(DialogOption.get());
    // The viewer shows the recorder's whole buffer, modally, over everything.
    FormViewGraphic = std::make_unique<TFormViewGraphic>(
        &GraphicalForm->recordBuffer(), &GraphicalForm->state(), GraphicalForm.get());
    TGraphicalForm* recorder = GraphicalForm.get();
    FormViewGraphic->setPrinterProvider([recorder] { return recorder->printerForPrinting(); });
    FormViewGraphic->setShownNameProvider([recorder] { return recorder->recordingName(); });
    GraphicalForm->setFitViewHandler([this] { FormViewGraphic->execWholeBuffer(); });
    DlgFitExportForm = std::make_unique<TDlgFitExportForm>(FormViewGraphic.get());
    FormViewGraphic->setExportDialog(DlgFitExportForm.get());
    MsgForm = std::make_unique<TMsgForm>(mainWindow);
    GraphicalForm->setProgressWindow(MsgForm.get());
    DlgExportForm =
        std::make_unique<TDlgExportForm>(ExportDialogRole::Recorder, GraphicalForm.get());
    GraphicalForm->setExportDialog(DlgExportForm.get());
    GraphicalForm->setBusyChangedHandler([mainWindow] { mainWindow->UpdateLinkControls(); });
    // After the start-up boxes and once every window is up.
    LostRuns = std::make_unique<LostRunsOffer>(GraphicalForm.get(), mainWindow->startupDirectory);
    QTimer::singleShot(0, LostRuns.get(), &LostRunsOffer::offer);
}

// Destroyed in the reverse order of creation, before the main window, which
// from then on hands readings to nobody.
AppWindows::~AppWindows()
{
    if (m_mainWindow)
        m_mainWindow->setWindows(nullptr);
}

} // namespace dmm
