// SPDX-License-Identifier: MIT
#include "DlgAboutForm.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include "AboutText.h"
#include "Artwork.h"
#include "WindowMetrics.h"

namespace dmm {

TDlgAboutForm::TDlgAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(tr("About"));
    setFixedSize(335, 226);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(17, 12, 300, 162);

    Image1 = new QLabel(Panel1);
    Image1->setPixmap(artworkPixmap(QStringLiteral("icon-app"), QSize(32, 32)));
    Image1->resize(32, 32);
    Image1->setAccessibleName(tr("Program icon"));

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setGeometry(80, 15, 209, 130);
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont memoFont(QStringLiteral("Courier New"));
    memoFont.setPixelSize(12);
    memoFont.setItalic(true);
    Memo1->setFont(memoFont);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, Qt::blue);
    Memo1->setPalette(palette);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), this);
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry((335 - 75) / 2, 185, 75, 27);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TDlgAboutForm::FormCreate()
{
    Image1->move((Memo1->x() - Image1->width()) / 2, Panel1->height() / 2 - Image1->height() / 2);
    const QStringList lines = aboutLines();
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(tr("About"));
    Memo1->setAccessibleDescription(lines.join(QLatin1Char(' ')));
}

void TDlgAboutForm::showEvent(QShowEvent* event)
{
    centreOnScreen(this);
    QDialog::showEvent(event);
}

} // namespace dmm
