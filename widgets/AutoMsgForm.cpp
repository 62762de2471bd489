// SPDX-License-Identifier: MIT
#include "AutoMsgForm.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <chrono>

#include "Artwork.h"
#include "WindowMetrics.h"

namespace dmm {

using namespace std::chrono_literals;

namespace {
constexpr int kCountdownSteps = 30; // 30 x 100 ms = 3 s
}

TAutoMsgForm::TAutoMsgForm(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setFixedSize(379, 159);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    auto* image = new QLabel(this);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    image->setPixmap(warning.pixmap(32, 32));
    image->setGeometry(5, 20, 32, 32);
    image->setAccessibleName(tr("Warning"));

    lbMsg1 = new QLabel(this);
    lbMsg1->setGeometry(62, 6, 288, 16);
    lbMsg2 = new QLabel(this);
    lbMsg2->setGeometry(61, 30, 289, 13);
    lbMsg3 = new QLabel(this);
    lbMsg3->setGeometry(61, 54, 289, 13);
    for (QLabel* label : {lbMsg1, lbMsg2, lbMsg3}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
        // Taller than the design so descenders of today's fonts are not clipped.
        label->resize(label->width(), 18);
    }

    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(29, 75, 321, 9);
    ProgressBar->setRange(0, kCountdownSteps);
    ProgressBar->setTextVisible(false);
    ProgressBar->setAccessibleName(tr("Time left before continuing"));

    bbtnYes = new QPushButton(
        artworkIcon(QStringLiteral("glyph-continue"), QStringLiteral("glyph-continue-disabled")),
        tr("&Continue"), this);
    bbtnYes->setGeometry(88, 96, 89, 31);
    bbtnYes->setDefault(true);
    bbtnAbort =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Abort"), this);
    bbtnAbort->setGeometry(208, 96, 89, 31);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100ms);

    connect(bbtnYes, &QPushButton::clicked, this, [this] { done(Retry); });
    connect(bbtnAbort, &QPushButton::clicked, this, [this] { done(Abort); });
    connect(Timer1, &QTimer::timeout, this, &TAutoMsgForm::Timer1Timer);
}

void TAutoMsgForm::setMessage(const QString& caption, const QString& line1, const QString& line2,
                              const QString& line3)
{
    setWindowTitle(caption);
    lbMsg1->setText(line1);
    lbMsg2->setText(line2);
    lbMsg3->setText(line3);
    setAccessibleDescription(QStringList{line1, line2, line3}.join(QLatin1Char(' ')).trimmed());
    fitToTexts();
}

void TAutoMsgForm::fitToTexts()
{
    // The designed widths were made for a narrower face; widen the window
    // rather than cut a line off, and keep the bar and buttons centred.
    int needed = 0;
    for (QLabel* label : {lbMsg1, lbMsg2, lbMsg3})
        needed = std::max(needed, label->fontMetrics().horizontalAdvance(label->text()) + 4);
    const int labelWidth = std::max(289, needed);
    const int width = std::max(379, lbMsg1->x() + labelWidth + 12);
    const int shift = (width - 379) / 2;
    for (QLabel* label : {lbMsg1, lbMsg2, lbMsg3})
        label->resize(labelWidth, label->height());
    ProgressBar->move(29 + shift, ProgressBar->y());
    bbtnYes->move(88 + shift, bbtnYes->y());
    bbtnAbort->move(208 + shift, bbtnAbort->y());
    setFixedSize(width, 159);
}

void TAutoMsgForm::showEvent(QShowEvent* event)
{
    // The countdown starts afresh at every showing.
    ProgressBar->setValue(0);
    Timer1->start();
    centreOnScreen(this);
    QDialog::showEvent(event);
}

void TAutoMsgForm::reject()
{
    done(Abort);
}

void TAutoMsgForm::done(int result)
{
    Timer1->stop();
    QDialog::done(result);
}

void TAutoMsgForm::Timer1Timer()
{
    ProgressBar->setValue(ProgressBar->value() + 1);
    if (ProgressBar->value() >= ProgressBar->maximum()) {
        Timer1->stop();
        if (isVisible())
            done(Yes);
    }
}

} // namespace dmm
