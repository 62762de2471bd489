// SPDX-License-Identifier: MIT
// Every window besides the main one, created once at start-up in a fixed
// order (later ones read earlier ones while placing themselves) and owned
// here until the program ends.
#pragma once

#include <memory>

namespace dmm {

class TFormMain;
class TDlgRsPortForm;
class TDlgAboutForm;
class TAutoMsgForm;
class TDigitalMeterForm;
class TAnalogMeterForm;
class TDlgHiLowForm;
class TComparatorForm;
class TMsgForm;
class TGraphicalForm;
class TDialogOption;
class TDataPageListForm;
class TFormViewGraphic;
class TDlgExportForm;
class TDlgFitExportForm;
class LostRunsOffer;

class AppWindows
{
public:
    explicit AppWindows(TFormMain* mainWindow);
    ~AppWindows();

    std::unique_ptr<TDlgRsPortForm> DlgRsPortForm;
    std::unique_ptr<TDlgAboutForm> DlgAboutForm;
    std::unique_ptr<TAutoMsgForm> AutoMsgForm;
    std::unique_ptr<TDigitalMeterForm> DigitalMeterForm;
    std::unique_ptr<TAnalogMeterForm> AnalogMeterForm;
    std::unique_ptr<TDataPageListForm> DataPageListForm;
    std::unique_ptr<TDlgHiLowForm> DlgHiLowForm;
    std::unique_ptr<TComparatorForm> ComparatorForm;
    std::unique_ptr<TGraphicalForm> GraphicalForm;
    std::unique_ptr<TDialogOption> DialogOption;
    std::unique_ptr<TFormViewGraphic> FormViewGraphic;
    std::unique_ptr<TDlgFitExportForm> DlgFitExportForm;
    std::unique_ptr<TMsgForm> MsgForm;
    std::unique_ptr<TDlgExportForm> DlgExportForm;
    // Asks about runs that did not end normally once the event loop runs.
    std::unique_ptr<LostRunsOffer> LostRuns;

private:
    TFormMain* m_mainWindow;
};

} // namespace dmm
