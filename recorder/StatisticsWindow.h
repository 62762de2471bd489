// SPDX-License-Identifier: MIT
// The recorder's Statistics window: for the whole buffer and for the page the
// chart shows, one row per function with count, overloads, minimum and
// maximum with the times of the readings at them, mean and standard
// deviation. While shown it catches up with the buffer four times a second,
// adding only the readings logged since (EntryStatistics.h); a buffer that
// was opened or grew by many readings at once is counted on a thread of its
// own meanwhile. Every figure is a selectable cell that Copy (Ctrl+C, or the
// context menu) puts on the clipboard as text, and a screen reader reads each
// cell with its function and column ("DC V, Maximum: 1.234 V").
#pragma once

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <future>
#include <memory>

#include "EntryStatistics.h"

class QLabel;
class QTableWidget;

namespace dmm {

class RecorderStore;

class TStatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TStatisticsWindow(const RecorderStore& store, QWidget* parent = nullptr);
    ~TStatisticsWindow() override;

    // Brings the figures up to date with the buffer now.
    void refresh();
    // A count on another thread is under way.
    bool counting() const { return m_job.valid(); }

    QTableWidget* wholeTable() const { return m_wholeTable; }
    QTableWidget* pageTable() const { return m_pageTable; }
    QLabel* wholeHeading() const { return m_wholeHeading; }
    QLabel* pageHeading() const { return m_pageHeading; }

    // The selected cells as text: columns split by tabs, rows by line ends.
    static QString selectedText(const QTableWidget& table);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Job
    {
        EntryStatistics figures;
        unsigned long long filling = 0;
    };
    void startCount(std::size_t entries);
    void fill(QTableWidget& table, const EntryStatistics& figures);
    void cancelCount();

    const RecorderStore& m_store;
    EntryStatistics m_whole;
    unsigned long long m_filling = 0;
    std::future<Job> m_job;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QTimer m_timer;
    QLabel* m_wholeHeading = nullptr;
    QLabel* m_pageHeading = nullptr;
    QTableWidget* m_wholeTable = nullptr;
    QTableWidget* m_pageTable = nullptr;
    // What the tables show, so that nothing is redrawn without a change.
    std::size_t m_shownCount = std::size_t(-1);
    unsigned long long m_shownFilling = 0;
    std::size_t m_shownPageFirst = std::size_t(-1);
    int m_shownPageCount = -1;
    bool m_shownCounting = false;
};

} // namespace dmm
