// SPDX-License-Identifier: MIT
#include "LostRunsQuestion.h"

#include <QDir>
#include <QInputDialog>

#include "MessageBox.h"
#include "StringTable.h"

namespace dmm {

namespace {

enum LostRunsText : int
{
    kStrLostRunsFound = 8182,
    kStrOpenNewest = 8183,
    kStrLeaveThem = 8184,
    kStrDeleteThem = 8185,
    kStrConfirmDelete = 8186,           // files, readings
    kStrConfirmDeleteOneReading = 8176, // files, reading
    kStrConfirmDeleteOneFile = 8177,    // file, readings
    kStrConfirmDeleteOneOfEach = 8178,  // file, reading
    kStrDeleteSavedRun = 8187,
    kStrOpenAnother = 8196,
    kStrWhichRun = 8197,
};

std::function<int(const QStringList&)>& lostRunChooser()
{
    static std::function<int(const QStringList&)> chooser;
    return chooser;
}

QList<LostRun> runsWithReadings(const QList<LostRun>& runs)
{
    QList<LostRun> withReadings;
    for (const LostRun& run : runs)
        if (run.readings > 0)
            withReadings << run;
    return withReadings;
}

} // namespace

LostRunsAnswer askAboutLostRuns(QWidget* owner, const QString& directory,
                                const QList<LostRun>& runs)
{
    MessageBoxRequest request;
    request.messageId = kStrLostRunsFound;
    request.caption = messageCaption(kStrWarningCaption, kStrLostRunsFound);
    request.text = tableString(kStrLostRunsFound).arg(QDir::toNativeSeparators(directory));
    QStringList lines;
    for (const LostRun& run : runs)
        lines << lostRunLine(run);
    request.detail = lines.join(QLatin1Char('\n'));
    request.wholeDetailLines = true;
    request.icon = QMessageBox::Question;
    // Cancel is the box's escape and its default: closing it or pressing Enter
    // leaves the files alone, so no run is opened that the user did not look at.
    request.buttons = QMessageBox::Cancel | QMessageBox::Discard;
    request.buttonTexts = {{QMessageBox::Cancel, tableString(kStrLeaveThem)},
                           {QMessageBox::Discard, tableString(kStrDeleteThem)}};
    request.defaultButton = QMessageBox::Cancel;
    if (newestWithReadings(runs)) {
        request.buttons |= QMessageBox::Open;
        request.buttonTexts.append({QMessageBox::Open, tableString(kStrOpenNewest)});
    }
    if (runsWithReadings(runs).size() > 1) {
        request.buttons |= QMessageBox::Apply;
        request.buttonTexts.append({QMessageBox::Apply, tableString(kStrOpenAnother)});
    }
    switch (showMessageBox(owner, request)) {
    case QMessageBox::Open:
        return newestWithReadings(runs) ? LostRunsAnswer::OpenNewest : LostRunsAnswer::Leave;
    case QMessageBox::Apply:
        return runsWithReadings(runs).size() > 1 ? LostRunsAnswer::OpenAnother
                                                 : LostRunsAnswer::Leave;
    case QMessageBox::Discard:
        return LostRunsAnswer::Delete;
    default:
        return LostRunsAnswer::Leave;
    }
}

void setLostRunChooser(std::function<int(const QStringList& lines)> chooser)
{
    lostRunChooser() = std::move(chooser);
}

std::optional<LostRun> chooseLostRun(QWidget* owner, const QList<LostRun>& runs)
{
    const QList<LostRun> choices = runsWithReadings(runs);
    QStringList lines;
    for (const LostRun& run : choices)
        lines << lostRunLine(run);
    int index = -1;
    if (lostRunChooser()) {
        index = lostRunChooser()(lines);
    } else {
        // A list that scrolls, however many runs there are.
        bool ok = false;
        const QString chosen =
            QInputDialog::getItem(owner, messageCaption(kStrWarningCaption, kStrLostRunsFound),
                                  tableString(kStrWhichRun), lines, 0, false, &ok);
        index = ok ? int(lines.indexOf(chosen)) : -1;
    }
    if (index < 0 || index >= choices.size())
        return std::nullopt;
    return choices[index];
}

bool confirmDeletingLostRuns(QWidget* owner, const QList<LostRun>& runs)
{
    qint64 readings = 0;
    QStringList lines;
    for (const LostRun& run : runs) {
        readings += run.readings;
        lines << lostRunLine(run);
    }
    // The question keeps its number (W8186) whichever form it takes.
    const QString text = runs.size() == 1
                             ? fillNumbers(tableString(readings == 1 ? kStrConfirmDeleteOneOfEach
                                                                     : kStrConfirmDeleteOneFile),
                                           {readings})
                             : fillNumbers(tableString(readings == 1 ? kStrConfirmDeleteOneReading
                                                                     : kStrConfirmDelete),
                                           {runs.size(), readings});
    return ShowMsgBox(owner, kStrWarningCaption, kStrConfirmDelete,
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning,
                      lines.join(QLatin1Char('\n')), QMessageBox::No,
                      text) == QMessageBox::Yes;
}

bool askDeletingSavedRun(QWidget* owner, const LostRun& run)
{
    const QString text =
        tableString(kStrDeleteSavedRun).arg(QDir::toNativeSeparators(run.path));
    return ShowMsgBox(owner, kStrWarningCaption, kStrDeleteSavedRun,
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                      lostRunLine(run), QMessageBox::No, text) == QMessageBox::Yes;
}

} // namespace dmm
