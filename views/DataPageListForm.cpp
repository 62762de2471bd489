// SPDX-License-Identifier: MIT
#include "DataPageListForm.h"

#include <algorithm>

#include <QListView>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>
#include <new>

#include "Artwork.h"
#include "DataSheetModel.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

constexpr int kMemoryErrorEntry = 9006;
constexpr int kCaptionEntry = 103;

} // namespace

TDataPageListForm::TDataPageListForm(const QWidget* mainWindow, const QWidget* digitalMeter,
                                     const QWidget* analogMeter, const RecordBuffer* buffer,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_mainWindow(mainWindow), m_buffer(buffer)
{
    setObjectName(QStringLiteral("DataPageListForm"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    placeUnder(mainWindow, digitalMeter, analogMeter);

    setWindowIcon(artworkIcon(QStringLiteral("icon-data-list")));
    setWindowTitle(tableString(kCaptionEntry));
    setAccessibleName(windowTitle());

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window's own size limits apply, not the controls' preferences.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(PageControl);

    m_selectTimer.setSingleShot(true);
    m_selectTimer.setInterval(0);
    connect(&m_selectTimer, &QTimer::timeout, this, &TDataPageListForm::selectNewLines);

    // A sheet gets its list when it is first shown.
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < m_lists.size())
            dataList(index);
    });

    m_retireTimer.setInterval(0);
    connect(&m_retireTimer, &QTimer::timeout, this, &TDataPageListForm::deleteRetiredSheets);

    addSheet();
    show();
}

TDataPageListForm::~TDataPageListForm() = default;

void TDataPageListForm::placeUnder(const QWidget* mainWindow, const QWidget* digitalMeter,
                                   const QWidget* analogMeter)
{
    m_restoreGeometry = QRect();
    const ScreenMetrics screen = screenMetrics();
    const int top = (mainWindow ? outerHeight(mainWindow) : 0) +
                    (digitalMeter ? outerHeight(digitalMeter) : 0) +
                    (analogMeter ? outerHeight(analogMeter) : 0);
    setOuterGeometry(this, 0, top, screen.screen.width() / 4,
                     screen.screen.height() - top - screen.taskBarHeight);
    applySizeLimits();
}

void TDataPageListForm::setRecordBuffer(const RecordBuffer* buffer)
{
    m_buffer = buffer;
    listReset();
}

QRect TDataPageListForm::maximisedOuterRect() const
{
    const ScreenMetrics screen = screenMetrics();
    const int mainHeight = m_mainWindow ? outerHeight(m_mainWindow) : 0;
    return {0, mainHeight, screen.screen.width() / 4,
            screen.screen.height() - mainHeight - screen.taskBarHeight};
}

void TDataPageListForm::applySizeLimits()
{
    // The user can drag it down to a quarter of the screen each way.
    const ScreenMetrics screen = screenMetrics();
    const QSize minimumOuter(screen.screen.width() / 4, screen.screen.height() / 4);
    setMinimumSize(minimumOuter.shrunkBy(frameMargins(this)).expandedTo(QSize(1, 1)));
}

bool TDataPageListForm::event(QEvent* event)
{
    switch (viewMessageOf(event)) {
    case WM_LIST_ADD:
        listAdd(static_cast<std::size_t>(static_cast<const ViewMessageEvent*>(event)->wParam()));
        return true;
    case WM_LIST_RESET:
        listReset();
        return true;
    default:
        break;
    }
    switch (event->type()) {
    case QEvent::WindowStateChange:
        if (isMaximized())
            maximiseRequested();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (windowState() == Qt::WindowNoState && isVisible())
            m_normalGeometry = QRect(frameGeometry().topLeft(), size());
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TDataPageListForm::maximiseRequested()
{
    // Maximised, the list keeps to the left column under the main window
    // instead of covering the screen, which a window manager cannot be told:
    // the window stays a normal one and takes that place itself. Asked again
    // while it is there, it goes back to where it was before.
    const QRect before = m_normalGeometry;
    setWindowState(Qt::WindowNoState);
    applySizeLimits(); // the frame is known by now
    const QRect target = maximisedOuterRect();
    if (m_restoreGeometry.isValid() && before.topLeft() == target.topLeft() &&
        before.size() == target.size().shrunkBy(frameMargins(this))) {
        const QRect restore = m_restoreGeometry;
        m_restoreGeometry = QRect();
        move(restore.topLeft());
        resize(restore.size());
        return;
    }
    m_restoreGeometry = before;
    setOuterGeometry(this, target.left(), target.top(), target.width(), target.height());
}

void TDataPageListForm::listAdd(std::size_t index)
{
    // A 1034 names the newest entry. Entries between the last line and it are
    // added with it in one insertion per sheet: a file load sends one notice
    // for all its records.
    std::size_t first = index;
    if (index >= m_nextIndex && m_buffer && index < m_buffer->size())
        first = m_nextIndex;
    std::size_t remaining = index - first + 1;
    // Sheets added one by one each lay out every tab again; a notice that
    // makes several adds them hidden and makes the newest current once.
    const bool batch = !m_models.isEmpty() && remaining > std::size_t(m_models.last()->room());
    const bool shown = PageControl->isVisibleTo(this);
    QWidget* const focus = focusWidget();
    if (batch) {
        setUpdatesEnabled(false);
        PageControl->hide();
        m_batchFirstTab = PageControl->count();
    }
    while (remaining > 0) {
        // A sheet that could not be made when the last one filled up is tried
        // again before the next line.
        if ((m_models.isEmpty() || m_models.last()->isFull()) && !addSheet(!batch))
            break;
        const int last = int(m_models.size()) - 1;
        if (!batch)
            PageControl->setCurrentIndex(last);
        const int count =
            int(std::min<std::size_t>(remaining, std::size_t(m_models[last]->room())));
        try {
            m_models[last]->appendLines(first, count);
        } catch (const std::bad_alloc&) {
            reportMemoryError();
            break;
        }
        m_failing = false;
        first += std::size_t(count);
        remaining -= std::size_t(count);
        m_nextIndex = first;
        if (m_firstSheetToSelect < 0 || last < m_firstSheetToSelect)
            m_firstSheetToSelect = last;
        if (!m_selectTimer.isActive())
            m_selectTimer.start();

        // The next sheet is there, and shown, as soon as this one is full.
        if (m_models[last]->isFull())
            addSheet(!batch);
    }
    if (batch) {
        for (int i = m_batchFirstTab; i < PageControl->count(); ++i)
            PageControl->tabBar()->setTabVisible(i, true);
        m_batchFirstTab = -1;
        PageControl->setCurrentIndex(int(m_sheets.size()) - 1);
        PageControl->setVisible(shown);
        setUpdatesEnabled(true);
        if (focus && !focus->hasFocus())
            focus->setFocus();
    }
}

void TDataPageListForm::selectNewLines()
{
    // Only the newest line of each sheet that grew is selected and scrolled
    // to, however many lines arrived since the last pass.
    if (m_firstSheetToSelect < 0)
        return;
    for (int i = m_firstSheetToSelect; i < m_lists.size(); ++i)
        selectNewestLine(i);
    m_firstSheetToSelect = -1;
}

void TDataPageListForm::selectNewestLine(int i)
{
    QListView* list = m_lists[i];
    const int rows = m_models[i]->rowCount();
    if (!list || rows == 0)
        return;
    const QModelIndex newest = m_models[i]->index(rows - 1);
    list->selectionModel()->setCurrentIndex(newest, QItemSelectionModel::ClearAndSelect);
    if (list->isVisible())
        list->scrollTo(newest);
    else
        m_scrollPending.insert(list);
}

bool TDataPageListForm::eventFilter(QObject* watched, QEvent* event)
{
    // A sheet selected while hidden shows its newest line when it appears.
    if (event->type() == QEvent::Show) {
        auto* list = static_cast<QListView*>(watched);
        if (m_scrollPending.remove(list))
            list->scrollTo(list->currentIndex());
    }
    return QWidget::eventFilter(watched, event);
}

void TDataPageListForm::listReset()
{
    m_selectTimer.stop();
    m_firstSheetToSelect = -1;
    m_scrollPending.clear();
    m_failing = false;
    m_nextIndex = 0;
    // A tab bar lays out all its tabs again whenever its current tab is
    // removed or moves down: with the first tab current the tabs go from the
    // last, each in constant time. Each sheet owns its list and model.
    const bool shown = PageControl->isVisibleTo(this);
    setUpdatesEnabled(false);
    PageControl->hide();
    PageControl->setCurrentIndex(0);
    for (int i = PageControl->count() - 1; i >= 0; --i)
        PageControl->removeTab(i);
    // Hundreds of list views take a while to destroy: the old sheets go a
    // few per event-loop pass, hidden and out of the tab widget meanwhile.
    m_retiredSheets.append(m_sheets);
    m_sheets.clear();
    if (!m_retireTimer.isActive())
        m_retireTimer.start();
    m_lists.clear();
    m_models.clear();
    iPageCount = 0;
    addSheet();
    PageControl->setVisible(shown);
    setUpdatesEnabled(true);
}

void TDataPageListForm::deleteRetiredSheets()
{
    constexpr qsizetype kSheetsPerPass = 8;
    const qsizetype count = std::min(kSheetsPerPass, m_retiredSheets.size());
    for (qsizetype i = 0; i < count; ++i)
        delete m_retiredSheets.takeLast();
    if (m_retiredSheets.isEmpty())
        m_retireTimer.stop();
}

bool TDataPageListForm::addSheet(bool makeCurrent)
{
    try {
        const int number = int(m_sheets.size()) + 1;
        const QString caption = QStringLiteral("Sheet") + QString::number(number);
        m_sheets.reserve(number);
        m_lists.reserve(number);
        m_models.reserve(number);

        auto sheet = std::make_unique<QWidget>();
        sheet->setObjectName(QStringLiteral("ts") + caption);
        auto* layout = new QVBoxLayout(sheet.get());
        layout->setContentsMargins(0, 0, 0, 0);
        // The sheet owns its model too, so that nothing outlives a sheet. Its
        // list is made when the sheet is first shown or asked for: a load of
        // millions of readings adds hundreds of sheets at once.
        auto* model = new DataSheetModel(m_buffer, sheet.get());

        PageControl->addTab(sheet.get(), caption);
        // A tab bar lays out all its shown tabs for each tab added: in a
        // batch only the newest added tab stays shown until the batch ends,
        // so each addition costs the same however many came before.
        if (m_batchFirstTab >= 0 && number - 2 >= m_batchFirstTab)
            PageControl->tabBar()->setTabVisible(number - 2, false);
        m_sheets.append(sheet.release());
        m_lists.append(nullptr);
        m_models.append(model);
        iPageCount = number;
        if (makeCurrent)
            PageControl->setCurrentIndex(number - 1);
        // The first tab became current before its sheet was listed. A list
        // that cannot be made now is tried again when the sheet is shown.
        if (PageControl->currentIndex() == number - 1)
            dataList(number - 1);
        return true;
    } catch (const std::bad_alloc&) {
        reportMemoryError();
        return false;
    }
}

QListView* TDataPageListForm::dataList(int i)
{
    if (i < 0 || i >= m_lists.size())
        return nullptr;
    if (m_lists[i])
        return m_lists[i];
    try {
        auto* list = new QListView(m_sheets[i]);
        m_lists[i] = list;
        list->setObjectName(QStringLiteral("DataList"));
        // Every line has the same height: the view measures one and does not
        // ask the model for the others.
        list->setUniformItemSizes(true);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setModel(m_models[i]);
        list->setAccessibleName(PageControl->tabText(i));
        list->installEventFilter(this);
        m_sheets[i]->layout()->addWidget(list);
        list->show();
    } catch (const std::bad_alloc&) {
        reportMemoryError();
        return nullptr;
    }
    // Lines that came before the list are selected as their pass would have.
    const bool awaitsPass = m_firstSheetToSelect >= 0 && i >= m_firstSheetToSelect;
    if (!awaitsPass)
        selectNewestLine(i);
    return m_lists[i];
}

void TDataPageListForm::reportMemoryError()
{
    if (m_failing)
        return;
    m_failing = true;
    ShowMsgBox(this, kStrErrorCaption, kMemoryErrorEntry);
}

} // namespace dmm
