// SPDX-License-Identifier: MIT
#include "DlgRsPortForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

#include "Artwork.h"

namespace dmm {

TDlgRsPortForm::TDlgRsPortForm(const std::array<bool, 8>* portPresent, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_portPresent(portPresent)
{
    setWindowTitle(tr("Serial Port selection"));
    setFixedSize(326, 252);

    Image1 = new QLabel(this);
    Image1->setPixmap(artworkPixmap(QStringLiteral("port-dialog"), QSize(39, 33)));
    Image1->setGeometry(22, 24, 39, 33);
    Image1->setAccessibleName(tr("Serial port"));

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(84, 16, 202, 141);

    m_group = new QButtonGroup(this);
    const int rows[] = {16, 42, 72, 104};
    for (int i = 0; i < 8; ++i) {
        const int left = i % 2 == 0 ? (i == 6 ? 29 : 26) : 117;
        rbtnCom[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), Panel1);
        rbtnCom[i]->setObjectName(QStringLiteral("rbtnCom%1").arg(i + 1));
        rbtnCom[i]->setGeometry(left, rows[i / 2], 80, 20);
        m_group->addButton(rbtnCom[i], i + 1);
    }

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(12, 176, 302, 2);

    bbtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), this);
    bbtnOk->setGeometry(64, 200, 89, 31);
    bbtnOk->setDefault(true);
    bbtnCancel =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    bbtnCancel->setGeometry(173, 200, 89, 31);

    connect(bbtnOk, &QPushButton::clicked, this, &TDlgRsPortForm::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TDlgRsPortForm::showEvent(QShowEvent* event)
{
    FormShow();
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TDlgRsPortForm::FormShow()
{
    // The current port stays selected even when it was absent at start-up; a
    // number above 8 selects nothing.
    m_group->setExclusive(false);
    for (int i = 0; i < 8; ++i) {
        rbtnCom[i]->setEnabled((*m_portPresent)[i]);
        rbtnCom[i]->setChecked(iSelPort == i + 1);
    }
    m_group->setExclusive(true);
}

void TDlgRsPortForm::bbtnOkClick()
{
    for (int i = 0; i < 8; ++i)
        if (rbtnCom[i]->isChecked()) {
            iSelPort = i + 1;
            break;
        }
    accept();
}

} // namespace dmm
