// SPDX-License-Identifier: MIT
// The data list: every entry of the recorder buffer as one numbered text line,
// on tab sheets of 32000 lines each. The window keeps no readings of its own;
// its sheets format their lines from the buffer when they are drawn.
#pragma once

#include <QList>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <cstddef>

#include "DataSheetModel.h"

class QListView;
class QTabWidget;

namespace dmm {

class TDataPageListForm : public QWidget
{
    Q_OBJECT
public:
    // Places itself under the main window and the two meters (their outer
    // heights) and shows itself. `buffer` is the recorder's, read by index
    // on 1034 and when lines are drawn; it must outlive the window.
    TDataPageListForm(const QWidget* mainWindow, const QWidget* digitalMeter,
                      const QWidget* analogMeter, const RecordBuffer* buffer,
                      QWidget* parent = nullptr);
    ~TDataPageListForm() override;

    // Left edge, under the three windows, a quarter of the screen wide and
    // down to the task bar; at creation and when the windows are tiled. The
    // analog meter's height counts whether it is shown or not.
    void placeUnder(const QWidget* mainWindow, const QWidget* digitalMeter,
                    const QWidget* analogMeter);

    // For a buffer made after this window (the recorder comes later in the
    // creation order): starts again with one empty sheet reading `buffer`.
    void setRecordBuffer(const RecordBuffer* buffer);

    int pageCount() const { return iPageCount; }
    // The sheets in creation order (0 = Sheet1), with their lists and models.
    QWidget* sheet(int i) const { return m_sheets.value(i); }
    // A sheet's list is made when the sheet is first shown or asked for here;
    // null only when memory ran out.
    QListView* dataList(int i);
    DataSheetModel* sheetModel(int i) const { return m_models.value(i); }

    static constexpr int kLinesPerSheet = DataSheetModel::kLinesPerSheet;

    QTabWidget* PageControl = nullptr;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void listAdd(std::size_t index);
    void listReset();
    // The new sheet becomes the current one unless a batch of sheets is added.
    bool addSheet(bool makeCurrent = true);
    void selectNewLines();
    void selectNewestLine(int sheet);
    void deleteRetiredSheets();
    void applySizeLimits();
    QRect maximisedOuterRect() const;
    void maximiseRequested();
    void reportMemoryError();

    const QWidget* m_mainWindow;
    const RecordBuffer* m_buffer;
    int iPageCount = 0;          // sheets made: 1 after creation and after a reset
    std::size_t m_nextIndex = 0; // the entry the next line shows
    QList<QWidget*> m_sheets;
    QList<QListView*> m_lists;
    QList<DataSheetModel*> m_models;
    // Sheets of a reset, out of the tab widget, deleted a few at a time.
    QList<QWidget*> m_retiredSheets;
    QTimer m_retireTimer;

    // Selecting the newest line waits for the end of the current event-loop
    // pass: several 1034 may come in one pass, and each would scroll.
    QTimer m_selectTimer;
    int m_firstSheetToSelect = -1;
    // The first tab of a batch of sheets being added; -1 outside a batch.
    int m_batchFirstTab = -1;
    QSet<QListView*> m_scrollPending;
    // One box per run of failures, not one per lost line.
    bool m_failing = false;
    // Frame position and client size: the last ones in the normal state, and
    // the ones to go back to from the maximised place (empty when not there).
    QRect m_normalGeometry;
    QRect m_restoreGeometry;
};

} // namespace dmm
