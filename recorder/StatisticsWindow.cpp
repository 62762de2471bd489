// SPDX-License-Identifier: MIT
#include "StatisticsWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "RecordSummary.h"
#include "RecorderStore.h"
#include "SiUnits.h"

namespace dmm {

namespace {

// Readings added on this thread at one refresh; more are counted on another.
constexpr std::size_t kCountedInPlace = 50'000;
constexpr int kRefreshMs = 250;

enum Column
{
    Function,
    Count,
    Overloads,
    Minimum,
    MinimumTime,
    Maximum,
    MaximumTime,
    Mean,
    Deviation,
    Columns
};

QString columnName(int column)
{
    static const char* const names[] = {
        "Function", "Count",           "Overloads", "Minimum",           "Time of minimum",
        "Maximum",  "Time of maximum", "Mean",      "Standard deviation"};
    return QString::fromLatin1(names[column]);
}

QTableWidget* makeTable(QWidget* parent, const QString& name)
{
    auto* table = new QTableWidget(0, Columns, parent);
    table->setAccessibleName(name);
    QStringList headers;
    for (int c = 0; c < Columns; ++c)
        headers << columnName(c);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setTabKeyNavigation(false);
    // Copy: Ctrl+C and the context menu.
    auto* copy = new QAction(QStringLiteral("&Copy"), table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, table, [table] {
        QApplication::clipboard()->setText(TStatisticsWindow::selectedText(*table));
    });
    table->addAction(copy);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    return table;
}

QString valueText(double value, std::string_view unit, bool figure)
{
    QString text = QString::fromStdString(figure ? statsFigureText(value) : statsValueText(value));
    if (!unit.empty())
        text += QLatin1Char(' ') + QString::fromUtf8(unit.data(), qsizetype(unit.size()));
    return text;
}

} // namespace

TStatisticsWindow::TStatisticsWindow(const RecorderStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store)
{
    setWindowTitle(QStringLiteral("Statistics"));
    setAccessibleName(QStringLiteral("Statistics"));
    auto* layout = new QVBoxLayout(this);
    m_wholeHeading = new QLabel(this);
    m_wholeTable = makeTable(this, QStringLiteral("Whole recording"));
    m_wholeHeading->setBuddy(m_wholeTable);
    m_pageHeading = new QLabel(this);
    m_pageTable = makeTable(this, QStringLiteral("Shown page"));
    m_pageHeading->setBuddy(m_pageTable);
    layout->addWidget(m_wholeHeading);
    layout->addWidget(m_wholeTable, 1);
    layout->addWidget(m_pageHeading);
    layout->addWidget(m_pageTable, 1);
    resize(1180, 640);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &TStatisticsWindow::refresh);
}

TStatisticsWindow::~TStatisticsWindow()
{
    cancelCount();
}

void TStatisticsWindow::cancelCount()
{
    if (!m_job.valid())
        return;
    *m_cancel = true;
    m_job.wait();
    m_job = {};
}

void TStatisticsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
    m_timer.start();
}

void TStatisticsWindow::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void TStatisticsWindow::startCount(std::size_t entries)
{
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_job =
        std::async(std::launch::async, [figures = m_whole, snapshot = m_store.buffer().snapshot(),
                                        entries, filling = m_filling, cancel = m_cancel]() mutable {
            // A chunk at a time, so that a cancel is seen soon.
            while (figures.counted() < entries && !*cancel)
                figures.addUpTo(snapshot,
                                std::min(entries, figures.counted() + RecordBuffer::kChunkRecords));
            return Job{std::move(figures), filling};
        });
}

void TStatisticsWindow::refresh()
{
    const RecordBuffer& buffer = m_store.buffer();
    const RecorderState& state = m_store.state();
    const std::size_t entries =
        std::min(buffer.size(), std::size_t(std::max(0, state.readingCount)));
    const unsigned long long filling = m_store.filling();

    if (m_job.valid() && (m_job.wait_for(std::chrono::seconds(0)) == std::future_status::ready ||
                          filling != m_filling)) {
        if (filling != m_filling) {
            cancelCount();
        } else {
            Job done = m_job.get();
            m_job = {};
            m_whole = std::move(done.figures);
        }
    }
    if (!m_job.valid()) {
        if (filling != m_filling || entries < m_whole.counted()) {
            m_whole = {};
            m_filling = filling;
        }
        if (entries - m_whole.counted() > kCountedInPlace)
            startCount(entries);
        else
            m_whole.addUpTo(buffer, entries);
    }

    const bool counting = m_job.valid();
    if (m_whole.counted() != m_shownCount || filling != m_shownFilling ||
        counting != m_shownCounting) {
        fill(*m_wholeTable, m_whole);
        m_wholeHeading->setText(
            counting ? QStringLiteral("&Whole recording: counting %1 readings...").arg(entries)
                     : QStringLiteral("&Whole recording: %1 readings").arg(m_whole.counted()));
        m_shownCount = m_whole.counted();
        m_shownCounting = counting;
    }

    const PageSlice page = pageSlice(entries, state.lastPage, state.shownPage, kPageSize);
    if (page.first != m_shownPageFirst || page.count != m_shownPageCount ||
        filling != m_shownFilling) {
        EntryStatistics figures;
        std::size_t index = page.first;
        const std::size_t end = page.first + std::size_t(page.count);
        while (index < end) {
            const std::span<const TARecord> run = buffer.run(index);
            figures.add(run.first(std::min(run.size(), end - index)), index);
            index = figures.counted();
        }
        fill(*m_pageTable, figures);
        m_pageHeading->setText(
            QStringLiteral("&Shown page %1: %2 readings").arg(state.shownPage).arg(page.count));
        m_shownPageFirst = page.first;
        m_shownPageCount = page.count;
    }
    m_shownFilling = filling;
}

void TStatisticsWindow::fill(QTableWidget& table, const EntryStatistics& figures)
{
    const RecordBuffer& buffer = m_store.buffer();
    const auto& functions = figures.functions();
    table.setRowCount(int(functions.size()));
    for (int row = 0; row < int(functions.size()); ++row) {
        const FunctionStats& f = functions[std::size_t(row)];
        const std::string_view unit = siUnit(f.function).symbol;
        const QString name =
            f.name.empty() ? QStringLiteral("no unit") : QString::fromStdString(f.name);
        const bool values = f.count > 0;
        const auto timeOf = [&](StatsTime at) {
            return values && std::size_t(at.ms) < buffer.size()
                       ? QString::fromStdString(entryTimeText(buffer.at(std::size_t(at.ms))))
                       : QString();
        };
        const auto deviation = f.stddev();
        const QString texts[Columns] = {name,
                                        QString::number(f.count),
                                        QString::number(f.overloads),
                                        values ? valueText(f.min, unit, false) : QString(),
                                        timeOf(f.minTime),
                                        values ? valueText(f.max, unit, false) : QString(),
                                        timeOf(f.maxTime),
                                        values ? valueText(f.mean, unit, true) : QString(),
                                        deviation ? valueText(*deviation, unit, true) : QString()};
        for (int column = 0; column < Columns; ++column) {
            QTableWidgetItem* item = table.item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
                table.setItem(row, column, item);
            }
            item->setText(texts[column]);
            // What a screen reader says of the cell: its function, its column
            // and its figure ("none" for an empty one).
            item->setData(
                Qt::AccessibleTextRole,
                column == Function
                    ? texts[column]
                    : QStringLiteral("%1, %2: %3")
                          .arg(name, columnName(column),
                               texts[column].isEmpty() ? QStringLiteral("none") : texts[column]));
        }
    }
}

QString TStatisticsWindow::selectedText(const QTableWidget& table)
{
    QList<QTableWidgetItem*> items = table.selectedItems();
    if (items.isEmpty() && table.currentItem())
        items << table.currentItem();
    std::sort(items.begin(), items.end(), [](const QTableWidgetItem* a, const QTableWidgetItem* b) {
        return std::pair(a->row(), a->column()) < std::pair(b->row(), b->column());
    });
    QString text;
    int row = -1;
    for (const QTableWidgetItem* item : items) {
        if (row >= 0)
            text += item->row() != row ? QLatin1Char('\n') : QLatin1Char('\t');
        text += item->text();
        row = item->row();
    }
    return text;
}

} // namespace dmm
