// SPDX-License-Identifier: MIT
#include "DlgHiLowForm.h"

#include "DisplayLabels.h"

#include "ComparatorLogic.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "PanelFaces.h"
#include "StringTable.h"
#include "WindowMetrics.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QTimer>

namespace dmm {

namespace {

QLabel* makeLimitLabel(QWidget* parent, const char* name, const QString& text, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Times New Roman"), 12);
    font.setItalic(true);
    font.setStyleHint(QFont::Serif);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QLabel* makeStaticText(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(QFont(arialFamily(), 10));
    label->setMinimumWidth(20);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLineEdit* makeLimitEdit(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    edit->setMinimumWidth(130);
    return edit;
}

} // namespace

TDlgHiLowForm::TDlgHiLowForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DlgHiLowForm"));
    setWindowTitle(QStringLiteral("Comparator Hi-Low limit setting"));
    setModal(true);

    Label1 = makeLimitLabel(this, "Label1", QStringLiteral("Upper-Limit : "), Qt::blue);
    Label2 = makeLimitLabel(this, "Label2", QStringLiteral("Lower-Limit : "), Qt::red);
    mkeHiLimit = makeLimitEdit(this, "mkeHiLimit", QStringLiteral("Upper-Limit"));
    mkeLowLimit = makeLimitEdit(this, "mkeLowLimit", QStringLiteral("Lower-Limit"));
    Label1->setBuddy(mkeHiLimit);
    Label2->setBuddy(mkeLowLimit);
    stxtHiUnit = makeStaticText(this, "stxtHiUnit");
    stxtHiFunc = makeStaticText(this, "stxtHiFunc");
    stxtLowUnit = makeStaticText(this, "stxtLowUnit");
    stxtLowFunc = makeStaticText(this, "stxtLowFunc");

    cbNotify = new QCheckBox(QStringLiteral("Notify the desktop"), this);
    cbNotify->setObjectName(QStringLiteral("cbNotify"));
    cbNotify->setToolTip(QStringLiteral("A desktop notification when readings leave the limits "
                                        "and when they come back"));

    bbtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                             this);
    bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    bbtnOk->setDefault(true);
    bbtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 tableString(331), this);
    bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(10);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(mkeHiLimit, 0, 1);
    grid->addWidget(stxtHiUnit, 0, 2);
    grid->addWidget(stxtHiFunc, 0, 3);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(mkeLowLimit, 1, 1);
    grid->addWidget(stxtLowUnit, 1, 2);
    grid->addWidget(stxtLowFunc, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbtnOk);
    buttons->addWidget(bbtnCancel);
    buttons->addStretch(1);
    grid->addWidget(cbNotify, 2, 1, 1, 3);
    grid->addLayout(buttons, 3, 0, 1, 4);
    // Wide enough for the whole caption: a window manager draws it in bold
    // beside the window's icon and up to three buttons, and elides it otherwise.
    QFont captionFont = font();
    captionFont.setBold(true);
    const QFontMetrics caption(captionFont);
    const int captionRoom =
        caption.horizontalAdvance(windowTitle()) + 6 * std::max(captionHeight(), caption.height());
    grid->addItem(new QSpacerItem(captionRoom, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), 4, 0, 1,
                  4);
    grid->setSizeConstraint(QLayout::SetFixedSize); // dialog border: not resizable

    connect(mkeHiLimit, &QLineEdit::textChanged, this, &TDlgHiLowForm::mkeHiLimitChange);
    connect(mkeLowLimit, &QLineEdit::textChanged, this, &TDlgHiLowForm::mkeLowLimitChange);
    connect(bbtnOk, &QPushButton::clicked, this, &TDlgHiLowForm::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TDlgHiLowForm::mkeHiLimitChange(const QString& text)
{
    takeLimitText(text, pendingHi);
}

void TDlgHiLowForm::mkeLowLimitChange(const QString& text)
{
    takeLimitText(text, pendingLow);
}

void TDlgHiLowForm::takeLimitText(const QString& text, double& pending)
{
    const LimitText limit = classifyLimitText(text.toStdString(), decimalSeparator());
    switch (limit.kind) {
    case LimitTextKind::Number:
        pending = *limit.value;
        return;
    case LimitTextKind::Empty:
        return;
    case LimitTextKind::Incomplete:
        // "-", ".", "1e-" are on their way to a number: reporting them would
        // put a box in the user's face for every limit typed with a sign or
        // an exponent. The pending limit keeps its last value meanwhile.
        return;
    case LimitTextKind::Invalid:
        break;
    }
    MessageBoxRequest request;
    request.caption = QGuiApplication::applicationDisplayName();
    request.text = QStringLiteral("'%1' is not a valid floating point value.").arg(text);
    request.icon = QMessageBox::Critical;
    showMessageBox(this, request);
}

void TDlgHiLowForm::bbtnOkClick()
{
    if (pendingHi > pendingLow) {
        accept();
        return;
    }
    ShowMsgBox(this, kStrErrorCaption, 9008);
}

void TDlgHiLowForm::normalise()
{
    m_normalisePending = false;
    const QString hi = QString::fromStdString(formatGeneral(pendingHi));
    if (mkeHiLimit->text() != hi)
        mkeHiLimit->setText(hi);
    const QString low = QString::fromStdString(formatGeneral(pendingLow));
    if (mkeLowLimit->text() != low)
        mkeLowLimit->setText(low);
    showInFace(stxtHiUnit, prefix, prefixPanelStyle(iFunction));
    showInFace(stxtLowUnit, prefix, prefixPanelStyle(iFunction));
    showInFace(stxtHiFunc, unit, unitPanelStyle(iFunction));
    showInFace(stxtLowFunc, unit, unitPanelStyle(iFunction));
}

void TDlgHiLowForm::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // Only a repaint of the dialog itself normalises. Our edits are not opaque,
    // so every keystroke and cursor blink also paints the dialog under them;
    // normalising then would rewrite "1.0" to "1" while the user types "1.05".
    QRegion own = event->region();
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            own -= child->geometry();
    if (own.isEmpty() || m_normalisePending)
        return;
    m_normalisePending = true;
    // Changing the edits from inside a paint would paint again: queue it.
    QTimer::singleShot(0, this, &TDlgHiLowForm::normalise);
}

void TDlgHiLowForm::showEvent(QShowEvent* event)
{
    normalise();
    mkeHiLimit->selectAll();
    bbtnOk->setFocus();
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + (area.width() - outer.width()) / 2,
             area.top() + (area.height() - outer.height()) / 2);
    }
}

} // namespace dmm
