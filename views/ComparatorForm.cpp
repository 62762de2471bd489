// SPDX-License-Identifier: MIT
#include "ComparatorForm.h"

#include "AlarmTone.h"
#include "AnalogMeterLogic.h" // needleEnd: both needles share one line rule
#include "Artwork.h"
#include "DesktopNotifier.h"
#include "DisplayLabels.h"
#include "DlgHiLowForm.h"
#include "NumberText.h"
#include "PanelFaces.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

namespace dmm {

namespace {

constexpr int kUnitPanelWidth = 20;

QLabel* makeDisplayLabel(QWidget* parent, const char* name, Qt::Alignment alignment)
{
    return dmm::makeDisplayLabel(parent, name, QFont(QStringLiteral("MS Sans Serif"), 8),
                                 alignment);
}

// A sunken panel with the limit filling it and the prefix and unit at its right end.
QFrame* makeLimitPanel(QWidget* parent, const char* name, QLabel*& limit, const char* limitName,
                       QLabel*& prefix, const char* prefixName, QLabel*& unit, const char* unitName)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    limit = makeDisplayLabel(panel, limitName, Qt::AlignRight | Qt::AlignVCenter);
    limit->setIndent(3);
    prefix = makeDisplayLabel(panel, prefixName, Qt::AlignCenter);
    unit = makeDisplayLabel(panel, unitName, Qt::AlignCenter);
    prefix->setFixedWidth(kUnitPanelWidth);
    unit->setFixedWidth(kUnitPanelWidth);
    row->addWidget(limit, 1);
    row->addWidget(prefix);
    row->addWidget(unit);
    return panel;
}

} // namespace

TComparatorForm::TComparatorForm(const QWidget* mainWindow, double* hiLimit, double* lowLimit,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_hiTarget(hiLimit), m_lowTarget(lowLimit), m_hiLimit(hiLimit ? *hiLimit : 0.0),
      m_lowLimit(lowLimit ? *lowLimit : 0.0), m_tonePlayer(&AlarmSound::play)
{
    setObjectName(QStringLiteral("ComparatorForm"));
    setWindowTitle(tableString(102));
    setWindowIcon(artworkIcon(QStringLiteral("icon-comparator")));
    setAccessibleName(tableString(102));

    m_dialPicture =
        artworkPixmap(QStringLiteral("comparator-dial"), kDialSize, devicePixelRatioF());
    m_scalePicture =
        artworkPixmap(QStringLiteral("comparator-scale"), kScaleSize, devicePixelRatioF());

    bbtnAlart =
        new QPushButton(artworkIcon(QStringLiteral("glyph-alarm")), QStringLiteral("OFF"), this);
    bbtnAlart->setObjectName(QStringLiteral("bbtnAlart"));
    bbtnAlart->setIconSize(QSize(20, 20));
    bbtnAlart->setAccessibleName(QStringLiteral("Alarm"));
    bbtnAlart->setToolTip(QStringLiteral("Alarm"));
    connect(bbtnAlart, &QPushButton::clicked, this, &TComparatorForm::bbtnAlartClick);

    bbtnHiLowLimit = new QPushButton(artworkIcon(QStringLiteral("glyph-limits")), QString(), this);
    bbtnHiLowLimit->setObjectName(QStringLiteral("bbtnHiLowLimit"));
    bbtnHiLowLimit->setIconSize(QSize(20, 20));
    // Glyph only: the dialog's caption names it for tooltips and screen readers.
    bbtnHiLowLimit->setAccessibleName(QStringLiteral("Comparator Hi-Low limit setting"));
    bbtnHiLowLimit->setToolTip(QStringLiteral("Comparator Hi-Low limit setting"));
    connect(bbtnHiLowLimit, &QPushButton::clicked, this, &TComparatorForm::bbtnHiLowLimitClick);

    Panel1 = makeLimitPanel(this, "Panel1", HiLimitPanel, "HiLimitPanel", HiUnitPanel,
                            "HiUnitPanel", HiFuncPanel, "HiFuncPanel");
    Panel2 = makeLimitPanel(this, "Panel2", LowLimitPanel, "LowLimitPanel", LowUnitPanel,
                            "LowUnitPanel", LowFuncPanel, "LowFuncPanel");
    HiLimitPanel->setAccessibleName(QStringLiteral("Upper-Limit"));
    LowLimitPanel->setAccessibleName(QStringLiteral("Lower-Limit"));
    Panel1->setToolTip(QStringLiteral("Upper-Limit"));
    Panel2->setToolTip(QStringLiteral("Lower-Limit"));

    m_limitDialog = new TDlgHiLowForm(this);

    placeBelow(mainWindow);

    layOut();
    showLimits();
    refreshUnitPanels();
    describeReading();
}

void TComparatorForm::setTonePlayer(TonePlayer player)
{
    m_tonePlayer = std::move(player);
}

void TComparatorForm::setLimitDialog(TDlgHiLowForm* dialog)
{
    if (!dialog || dialog == m_limitDialog)
        return;
    if (m_limitDialog && m_limitDialog->parent() == this)
        delete m_limitDialog;
    m_limitDialog = dialog;
}

void TComparatorForm::placeBelow(const QWidget* mainWindow)
{
    // Outer size: the dial, the two buttons under it and a frame's worth of border.
    const int f = 2 * sizingFrameHeight() + captionHeight();
    const int screenHeight = screenMetrics().screen.height();
    const int mainHeight = mainWindow ? outerHeight(mainWindow) : 0;
    setOuterGeometry(this, f, (screenHeight - mainHeight) / 4 + mainHeight + f,
                     kDialSize.width() + f, kDialSize.height() + 2 * kButtonHeight + f + 2);
    setFixedSize(size()); // single border
}

QPoint TComparatorForm::needlePivot() const
{
    return {width() / 2, kPivotY};
}

// The scale's bands are centred 100 pixels right of the dial picture's left
// edge; placing the dial from the pivot keeps them on one centre for any width.
int TComparatorForm::dialLeft() const
{
    return width() / 2 - 100;
}

void TComparatorForm::layOut()
{
    const int left = dialLeft();
    const int alarmTop = kDialSize.height() + 1;
    const int limitTop = alarmTop + kButtonHeight + 1;
    bbtnAlart->setGeometry(left, alarmTop, kDialSize.width(), kButtonHeight);
    bbtnHiLowLimit->setGeometry(left, limitTop, kLimitButtonWidth, kButtonHeight);
    const int panelLeft = left + kLimitButtonWidth + 2;
    const int panelWidth = kDialSize.width() - kLimitButtonWidth - 2;
    const int panelHeight = kButtonHeight / 2;
    Panel1->setGeometry(panelLeft, limitTop, panelWidth, panelHeight);
    Panel2->setGeometry(panelLeft, limitTop + panelHeight, panelWidth, panelHeight);
}

void TComparatorForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
}

// Hidden or minimised, the window hears of no reading, but the loop keeps its
// inputs current: coming back shows their prefix and unit, as a repaint would.
void TComparatorForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshUnitPanels();
}

void TComparatorForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        refreshUnitPanels();
}

bool TComparatorForm::event(QEvent* event)
{
    if (viewMessageOf(event) == WM_DMM_NEWDATA) {
        readingUpdate();
        return true;
    }
    return QWidget::event(event);
}

void TComparatorForm::readingUpdate()
{
    moveNeedle();
    refreshUnitPanels();
    describeReading();
    notifyDesktop();
    if (m_alarmOn)
        soundAlarm();
}

void TComparatorForm::setNotifyTarget(bool* target)
{
    m_notifyTarget = target;
    m_notifyDesktop = target && *target;
}

void TComparatorForm::setNotifier(Notifier notifier)
{
    m_notifier = std::move(notifier);
}

void TComparatorForm::notifyDesktop()
{
    const AlarmTone verdict = alarmToneFor(m_inputs.value, m_hiLimit, m_lowLimit);
    const ComparatorNotice notice = comparatorNotice(m_verdict, verdict);
    m_verdict = verdict;
    if (!m_notifyDesktop || notice == ComparatorNotice::None)
        return;
    if (!m_notifier) {
        // Made on first use: a program that never notifies never opens the bus.
        auto* notifier = new DesktopNotifier(this);
        m_notifier = [notifier](const QString& summary, const QString& body) {
            notifier->notify(summary, body);
        };
    }
    const QString summary =
        notice == ComparatorNotice::Ended ? QStringLiteral("Comparator: back within the limits")
        : verdict == AlarmTone::High      ? QStringLiteral("Comparator: above the upper limit")
                                          : QStringLiteral("Comparator: below the lower limit");
    const QString unit = HiUnitPanel->text() + HiFuncPanel->text();
    m_notifier(summary, QStringLiteral("%1 %2 (limits %3 to %4 %2)")
                            .arg(QString::fromStdString(formatGeneral(m_inputs.value, 7)), unit,
                                 QString::fromStdString(formatGeneral(m_lowLimit)),
                                 QString::fromStdString(formatGeneral(m_hiLimit))));
}

void TComparatorForm::moveNeedle()
{
    m_prevNeedleAngle = m_needleAngle;
    m_needleAngle = comparatorNeedleAngle(m_inputs.value, m_hiLimit, m_lowLimit);
    if (m_needleAngle != m_prevNeedleAngle)
        update(needleArea(m_prevNeedleAngle) | needleArea(m_needleAngle));
}

void TComparatorForm::soundAlarm()
{
    const AlarmTone tone = alarmToneFor(m_inputs.value, m_hiLimit, m_lowLimit);
    if (tone != AlarmTone::None && m_tonePlayer)
        m_tonePlayer(toneFrequency(tone), kAlarmToneMs);
}

void TComparatorForm::refreshUnitPanels()
{
    const QString prefix = QString::fromLatin1(m_inputs.prefix.view());
    const QString unit = QString::fromLatin1(m_inputs.unit.view());
    const PanelStyle prefixStyle = prefixPanelStyle(m_inputs.iFunction);
    const PanelStyle unitStyle = unitPanelStyle(m_inputs.iFunction);
    showInFace(HiUnitPanel, prefix, prefixStyle);
    showInFace(LowUnitPanel, prefix, prefixStyle);
    showInFace(HiFuncPanel, unit, unitStyle);
    showInFace(LowFuncPanel, unit, unitStyle);
}

void TComparatorForm::showLimits()
{
    // Set only when the text changes: a paint calls this, and a new text
    // repaints the panel, not the window.
    const QString hi = QString::fromStdString(formatGeneral(m_hiLimit));
    if (HiLimitPanel->text() != hi)
        HiLimitPanel->setText(hi);
    const QString low = QString::fromStdString(formatGeneral(m_lowLimit));
    if (LowLimitPanel->text() != low)
        LowLimitPanel->setText(low);
}

void TComparatorForm::bbtnAlartClick()
{
    m_alarmOn = !m_alarmOn;
    bbtnAlart->setText(m_alarmOn ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

void TComparatorForm::bbtnHiLowLimitClick()
{
    TDlgHiLowForm* dialog = m_limitDialog;
    dialog->iFunction = m_inputs.iFunction;
    dialog->pendingHi = m_hiLimit;
    dialog->pendingLow = m_lowLimit;
    dialog->prefix = QString::fromLatin1(m_inputs.prefix.view());
    dialog->unit = QString::fromLatin1(m_inputs.unit.view());
    dialog->cbNotify->setChecked(m_notifyDesktop);
    if (dialog->exec() != QDialog::Accepted)
        return;
    m_notifyDesktop = dialog->cbNotify->isChecked();
    if (m_notifyTarget)
        *m_notifyTarget = m_notifyDesktop;
    m_hiLimit = dialog->pendingHi;
    m_lowLimit = dialog->pendingLow;
    if (m_hiTarget)
        *m_hiTarget = m_hiLimit;
    if (m_lowTarget)
        *m_lowTarget = m_lowLimit;
    showLimits();
    describeReading();
}

QRect TComparatorForm::needleArea(double angle) const
{
    const QPoint pivot = needlePivot();
    return QRect(pivot, pivot + needleEnd(angle, kNeedleLength))
        .normalized()
        .adjusted(-2, -2, 2, 2);
}

void TComparatorForm::paintEvent(QPaintEvent* event)
{
    const qreal ratio = devicePixelRatioF();
    if (m_dialPicture.devicePixelRatio() != ratio) {
        // On a screen of another density the artwork is rendered afresh, to stay sharp.
        m_dialPicture = artworkPixmap(QStringLiteral("comparator-dial"), kDialSize, ratio);
        m_scalePicture = artworkPixmap(QStringLiteral("comparator-scale"), kScaleSize, ratio);
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    const int left = dialLeft();
    painter.drawPixmap(left, 0, m_dialPicture);
    painter.drawPixmap(left + (kDialSize.width() - kScaleSize.width()) / 2, kScaleTop,
                       m_scalePicture);
    // Pixel centres: a vertical needle stays one sharp pixel wide.
    painter.translate(0.5, 0.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    const QPoint pivot = needlePivot();
    painter.drawLine(pivot, pivot + needleEnd(m_needleAngle, kNeedleLength));
    // Every paint writes the limits anew, so they follow the decimal separator,
    // which becomes "." with the first decoded frame.
    showLimits();
    refreshUnitPanels();
}

void TComparatorForm::describeReading()
{
    // The scale's words: GO between the limits, NG outside them.
    const AlarmTone side = alarmToneFor(m_inputs.value, m_hiLimit, m_lowLimit);
    const QString verdict = side == AlarmTone::None ? QStringLiteral("GO") : QStringLiteral("NG");
    setAccessibleDescription(QStringLiteral("%1 %2%3: %4")
                                 .arg(QString::fromStdString(formatGeneral(m_inputs.value, 7)),
                                      HiUnitPanel->text(), HiFuncPanel->text(), verdict));
}

} // namespace dmm
