// SPDX-License-Identifier: MIT
// The data logger for the handheld multimeter.
#include <QApplication>

#include <clocale>
#include <cstdio>
#include <string_view>

#include "AnalogMeterForm.h"
#include "AppWindows.h"
#include "DataPageListForm.h"
#include "DigitalMeterForm.h"
#include "Fonts.h"
#include "GraphicalForm.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "SignalPipe.h"
#include "TerminationSignals.h"
#include "WindowMetrics.h"

namespace {

constexpr char kUsage[] =
    "Usage: dmmlogger [--help | --version]\n"
    "Data logger for a handheld digital multimeter on an RS-232 port.\n"
    "Start it in a folder of its own: it keeps its settings, temporary files\n"
    "and recordings in the directory it is started in.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the application object exists, so also without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("dmmlogger %s\n", DMM_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    dmm::TerminationSignals terminationSignals;
    // A size limit on the temporary file is a full disk, not the program's end.
    ignoreFileSizeLimitSignal();
    // Qt sets the C library's locale from the environment; the meter's fixed
    // formats need the C decimal point. The user's separator is kept in the
    // program's own conversions until the first frame arrives.
    std::setlocale(LC_NUMERIC, "C");
    dmm::useLocaleDecimalSeparator();
    dmm::installFontSubstitutions();
    QApplication::setQuitOnLastWindowClosed(false);

    dmm::TFormMain mainWindow;
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(&mainWindow, &dmm::TFormMain::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    mainWindow.show();
    // The other windows stack under the strip by outer sizes: learn the
    // window manager's frame first, then place the strip again with it.
    dmm::learnFrameMargins(&mainWindow);
    mainWindow.placeStrip();
    dmm::AppWindows windows(&mainWindow);
    mainWindow.setWindows(&windows);
    terminationSignals.endProgramWith(&mainWindow);
    // The sizeable recorder and data list take their places again once their
    // frames, resize handles included, are known.
    dmm::callWhenFramed(windows.GraphicalForm.get(),
                        [&windows] { windows.GraphicalForm->placeRightOfMeters(); });
    dmm::callWhenFramed(windows.DataPageListForm.get(), [&windows, &mainWindow] {
        windows.DataPageListForm->placeUnder(&mainWindow, windows.DigitalMeterForm.get(),
                                             windows.AnalogMeterForm.get());
    });
    return app.exec();
}
