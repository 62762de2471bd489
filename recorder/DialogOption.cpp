// SPDX-License-Identifier: MIT
#include "DialogOption.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "Artwork.h"
#include "MessageBox.h"
#include "RecorderControls.h"
#include "StringTable.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

enum IntervalItem
{
    kFullSpeed = 0,
    kCustomization = 1
};

// The width a window needs for its whole caption in the title bar: the
// caption in the title bar's bold face, with room for the window menu icon and
// the close, minimise and maximise buttons a window manager puts beside it.
int titleBarWidth(const QString& caption)
{
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    constexpr int kTitleBarButtons = 4;
    constexpr int kButtonWidth = 24;
    constexpr int kMargins = 24;
    return QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarButtons * kButtonWidth +
           kMargins;
}

QString askWithInputDialog(QWidget* parent, const QString& caption, const QString& prompt,
                           const QString& defaultText)
{
    QInputDialog box(parent);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    // The box's layout keeps its minimum size to the contents; a wider start
    // size stays.
    box.resize(std::max(box.sizeHint().width(), titleBarWidth(caption)), box.sizeHint().height());
    return box.exec() == QDialog::Accepted ? box.textValue() : defaultText;
}

} // namespace

TDialogOption::TDialogOption(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(tableString(106));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(385, 249);

    gbMode = new QGroupBox(tableString(200), this);
    gbMode->setGeometry(85, 13, 260, 118);
    rbtnManual = new QRadioButton(tableString(201), gbMode);
    rbtnManual->setGeometry(130 - 85, 46 - 13, 92, 21);
    rbtnAutomatic = new QRadioButton(tableString(202), gbMode);
    rbtnAutomatic->setGeometry(130 - 85, 81 - 13, 92, 21);

    cbxInterval = new QComboBox(gbMode);
    cbxInterval->setEditable(false);
    cbxInterval->addItem(tableString(203));
    cbxInterval->addItem(tableString(204));
    cbxInterval->setAccessibleName(tableString(205));
    const int listWidth =
        QFontMetrics(cbxInterval->font()).horizontalAdvance(tableString(204)) + 35;
    // Five pixels right of the Automatic button, at its top. The group box is
    // widened when the list would otherwise stick out of it.
    const QRect automatic = rbtnAutomatic->geometry();
    cbxInterval->setGeometry(automatic.right() + 1 + 5, automatic.top(), listWidth,
                             cbxInterval->sizeHint().height());
    if (cbxInterval->geometry().right() + 8 > gbMode->width())
        gbMode->resize(cbxInterval->geometry().right() + 8, gbMode->height());

    imgIcon = new QLabel(this);
    imgIcon->setPixmap(artworkPixmap(QStringLiteral("icon-app"), QSize(32, 32)));
    imgIcon->setAccessibleName(tableString(1));
    imgIcon->setGeometry(85 - 15 - 32, 13 + (118 - 32) / 2, 32, 32);

    auto* line = new QFrame(this);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(19, 150, 339, 2);

    btnOk = new QPushButton(tr("OK"), this);
    btnOk->setGeometry(78, 169, 61, 32);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setGeometry(228, 169, 69, 32);

    // Toggled, not clicked: a screen reader's Toggle checks a radio button
    // without clicking it.
    connect(rbtnManual, &QRadioButton::toggled, this, &TDialogOption::rbtnClick);
    connect(rbtnAutomatic, &QRadioButton::toggled, this, &TDialogOption::rbtnClick);
    connect(cbxInterval, &QComboBox::activated, this, &TDialogOption::cbxIntervalChange);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_inputBox = [this](const QString& caption, const QString& prompt, const QString& text) {
        return askWithInputDialog(this, caption, prompt, text);
    };
}

void TDialogOption::showEvent(QShowEvent* event)
{
    (dlgManual ? rbtnManual : rbtnAutomatic)->setChecked(true);
    cbxInterval->setEnabled(rbtnAutomatic->isChecked());
    showIntervalItem();
    centreOnScreen(this);
    QDialog::showEvent(event);
}

void TDialogOption::showIntervalItem()
{
    cbxInterval->setCurrentIndex(dlgIntervalSeconds != 0 ? kCustomization : kFullSpeed);
}

void TDialogOption::rbtnClick()
{
    dlgManual = rbtnManual->isChecked();
    cbxInterval->setEnabled(!dlgManual);
}

void TDialogOption::cbxIntervalChange(int item)
{
    if (item == kFullSpeed) {
        dlgIntervalSeconds = 0;
        return;
    }
    askForSeconds();
}

void TDialogOption::askForSeconds()
{
    for (;;) {
        const QString text =
            m_inputBox(tableString(205), tableString(206), QString::number(dlgIntervalSeconds));
        const auto seconds = parseIntervalSeconds(text);
        if (!seconds) {
            ShowMsgBox(this, kStrErrorCaption, 9007);
            showIntervalItem();
            return;
        }
        if (*seconds > kMaxIntervalSeconds) {
            // Longer intervals would overflow the timer's milliseconds: ask again.
            ShowMsgBox(this, kStrErrorCaption, 9007);
            continue;
        }
        dlgIntervalSeconds = static_cast<int>(std::max<long long>(*seconds, -kMaxIntervalSeconds));
        if (dlgIntervalSeconds >= 0)
            return;
        ShowMsgBox(this, kStrErrorCaption, 9007);
    }
}

} // namespace dmm
