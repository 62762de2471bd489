// SPDX-License-Identifier: MIT
#include "MsgForm.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include "GlobalFlags.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

// The layout was drawn at 120 pixels per inch.
int scaled(int designPixels)
{
    return designPixels * 96 / 120;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

TMsgForm::TMsgForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setFixedSize(scaled(466), scaled(148));
    setAutoFillBackground(true);

    MsgPanel = new QLabel(QStringLiteral("Message"), this);
    MsgPanel->setGeometry(scaled(12), scaled(16), scaled(443), scaled(33));
    MsgPanel->setAlignment(Qt::AlignCenter);
    QFont panelFont(QStringLiteral("Times New Roman"));
    panelFont.setPixelSize(scaled(18) + 2);
    MsgPanel->setFont(panelFont);
    setTextColour(MsgPanel, Qt::blue);

    Label1 = new QLabel(QStringLiteral("Data added:00000"), this);
    Label1->setGeometry(scaled(78), scaled(60), scaled(312), scaled(16) + 2);
    Label1->setAlignment(Qt::AlignCenter);
    QFont labelFont(QStringLiteral("MS Sans Serif"));
    labelFont.setPixelSize(scaled(15));
    Label1->setFont(labelFont);
    setTextColour(Label1, QColor(0x00, 0x80, 0x80));

    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(scaled(76), scaled(82), scaled(315), scaled(12));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setAccessibleName(tr("Progress"));

    bbtnAbort =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Abort"), this);
    bbtnAbort->setGeometry(scaled(197), scaled(105), scaled(73), scaled(32));
    connect(bbtnAbort, &QPushButton::clicked, this, &TMsgForm::bbtnAbortClick);
}

void TMsgForm::bbtnAbortClick()
{
    if (!askBeforeAbort) {
        bBusy = false;
        return;
    }
    const int answer =
        ShowMsgBox(this, kStrWarningCaption, 8014, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::Question, {}, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        bBusy = false;
}

void TMsgForm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // A raised edge, since the window has no frame of its own.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
    painter.drawLine(0, height() - 1, width() - 1, height() - 1);
}

void TMsgForm::showEvent(QShowEvent* event)
{
    centreOnScreen(this);
    QWidget::showEvent(event);
}

} // namespace dmm
