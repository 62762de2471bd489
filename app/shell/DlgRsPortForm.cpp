// SPDX-License-Identifier: MIT
#include "DlgRsPortForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "Artwork.h"
#include "MessageBox.h"
#include "SerialAdapters.h"
#include "StringTable.h"
#include "WindowMetrics.h"

namespace dmm {

TDlgRsPortForm::TDlgRsPortForm(const std::array<bool, 8>* portPresent, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_portPresent(portPresent)
{
    setWindowTitle(tr("Serial Port selection"));
    // Wider than the classic 326 pixels: each port shows its device beside it;
    // taller by the row that links a port to a serial adapter.
    constexpr int kDeviceRoom = 150;
    constexpr int kLinkRow = 30;
    setFixedSize(326 + kDeviceRoom, 252 + kLinkRow);

    Image1 = new QLabel(this);
    Image1->setPixmap(artworkPixmap(QStringLiteral("port-dialog"), QSize(39, 33)));
    Image1->setGeometry(22, 24, 39, 33);
    Image1->setAccessibleName(tr("Serial port"));

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(84, 16, 202 + kDeviceRoom, 141);

    m_group = new QButtonGroup(this);
    const int rows[] = {16, 42, 72, 104};
    for (int i = 0; i < 8; ++i) {
        const int left = i % 2 == 0 ? (i == 6 ? 29 : 26) : 117 + kDeviceRoom / 2;
        rbtnCom[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), Panel1);
        rbtnCom[i]->setObjectName(QStringLiteral("rbtnCom%1").arg(i + 1));
        rbtnCom[i]->setGeometry(left, rows[i / 2], 62, 20);
        m_group->addButton(rbtnCom[i], i + 1);
        lblDevice[i] = new QLabel(Panel1);
        lblDevice[i]->setObjectName(QStringLiteral("lblDevice%1").arg(i + 1));
        lblDevice[i]->setGeometry(left + 62, rows[i / 2], 88 + (i % 2 == 0 ? 6 : 0), 20);
        QPalette grey = lblDevice[i]->palette();
        grey.setColor(QPalette::WindowText, grey.color(QPalette::Disabled, QPalette::WindowText));
        lblDevice[i]->setPalette(grey);
    }

    cbxAdapter = new QComboBox(this);
    cbxAdapter->setObjectName(QStringLiteral("cbxAdapter"));
    constexpr int kLinkButtonWidth = 110;
    const QRect panel = Panel1->geometry();
    // From under the picture to the button, so long by-id names have room.
    const int adapterLeft = Image1->geometry().left();
    cbxAdapter->setGeometry(adapterLeft, 167,
                            panel.right() + 1 - kLinkButtonWidth - 8 - adapterLeft, 26);
    cbxAdapter->setAccessibleName(tableString(8190));
    bbtnLink = new QPushButton(this);
    bbtnLink->setObjectName(QStringLiteral("bbtnLink"));
    bbtnLink->setGeometry(panel.right() + 1 - kLinkButtonWidth, 167, kLinkButtonWidth, 26);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(12, 176 + kLinkRow, 302 + kDeviceRoom, 2);

    bbtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), this);
    bbtnOk->setGeometry(64 + kDeviceRoom / 2, 200 + kLinkRow, 89, 31);
    bbtnOk->setDefault(true);
    bbtnCancel =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    bbtnCancel->setGeometry(173 + kDeviceRoom / 2, 200 + kLinkRow, 89, 31);

    connect(bbtnOk, &QPushButton::clicked, this, &TDlgRsPortForm::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_group, &QButtonGroup::buttonToggled, this, &TDlgRsPortForm::updateLinkControl);
    connect(cbxAdapter, &QComboBox::currentIndexChanged, this, &TDlgRsPortForm::updateLinkControl);
    // Queued: a screen reader's press returns before a question box can open.
    connect(bbtnLink, &QPushButton::clicked, this, [this] {
        QMetaObject::invokeMethod(this, &TDlgRsPortForm::bbtnLinkClick, Qt::QueuedConnection);
    });
}

void TDlgRsPortForm::setPortDevices(const std::array<QString, 8>& devices)
{
    for (int i = 0; i < 8; ++i) {
        QLabel* label = lblDevice[i];
        const QString device = devices[i];
        label->setText(label->fontMetrics().elidedText(device, Qt::ElideLeft, label->width()));
        label->setToolTip(device);
        label->setAccessibleName(device);
        rbtnCom[i]->setAccessibleDescription(device);
    }
}

void TDlgRsPortForm::showEvent(QShowEvent* event)
{
    FormShow();
    centreOnScreen(this);
    QDialog::showEvent(event);
}

void TDlgRsPortForm::FormShow()
{
    // The current port stays selected even when it was absent at start-up; a
    // number above 8 selects nothing.
    m_group->setExclusive(false);
    for (int i = 0; i < 8; ++i)
        rbtnCom[i]->setChecked(iSelPort == i + 1);
    m_group->setExclusive(true);
    refreshPorts();
    fillAdapters();
}

void TDlgRsPortForm::refreshPorts()
{
    // A link whose device is gone can be checked too, so that the adapter row
    // can link it again; OK still takes only a port that was found.
    for (int i = 0; i < 8; ++i)
        rbtnCom[i]->setEnabled((*m_portPresent)[i] || portEntry(i + 1, m_startupDirectory).kind ==
                                                          PortEntry::DanglingLink);
    updateLinkControl();
}

void TDlgRsPortForm::fillAdapters()
{
    cbxAdapter->clear();
    for (const SerialAdapter& adapter : findSerialAdapters(adapterSearchRoots())) {
        // Shortened in the middle so the device at the end stays in sight;
        // the whole name is the item's tool tip.
        constexpr int kArrowRoom = 32;
        const QString text = cbxAdapter->fontMetrics().elidedText(adapter.label(), Qt::ElideMiddle,
                                                                  cbxAdapter->width() - kArrowRoom);
        cbxAdapter->addItem(text, adapter.linkTarget());
        cbxAdapter->setItemData(cbxAdapter->count() - 1, adapter.label(), Qt::ToolTipRole);
        cbxAdapter->setItemData(cbxAdapter->count() - 1, adapter.label(), Qt::AccessibleTextRole);
    }
    if (cbxAdapter->count() == 0)
        cbxAdapter->addItem(tableString(8191));
    updateLinkControl();
}

void TDlgRsPortForm::updateLinkControl()
{
    const int port = m_group->checkedId();
    const QString name = port > 0 ? QStringLiteral("COM%1").arg(port) : QStringLiteral("COM");
    bbtnLink->setText(tableString(8189).arg(name));
    bbtnLink->setAccessibleName(bbtnLink->text().remove(QLatin1Char('&')));
    const bool adapterChosen = !cbxAdapter->currentData().toString().isEmpty();
    cbxAdapter->setEnabled(adapterChosen);
    bbtnLink->setEnabled(port > 0 && adapterChosen);
    // The current port is kept even when it is absent; any other must be found.
    bbtnOk->setEnabled(port < 1 || port == iSelPort || (*m_portPresent)[port - 1]);
}

void TDlgRsPortForm::bbtnLinkClick()
{
    const int port = m_group->checkedId();
    const QString target = cbxAdapter->currentData().toString();
    if (port < 1 || target.isEmpty())
        return;
    const PortEntry entry = portEntry(port, m_startupDirectory);
    const QString shown = QDir::toNativeSeparators(entry.path);
    // A link to the same device may be swapped for the stable name quietly;
    // anything else the user put there is replaced only when they say so.
    bool replace = entry.kind == PortEntry::Link && sameDevice(entry.path, target);
    if (!replace && entry.kind != PortEntry::Missing) {
        const bool notALink = entry.kind == PortEntry::OtherFile;
        const int question = notALink ? 8181 : 8180;
        const QString text = notALink ? tableString(question).arg(shown, target)
                                      : tableString(question).arg(shown, entry.target, target);
        if (ShowMsgBox(this, kStrWarningCaption, question, QMessageBox::Yes | QMessageBox::No,
                       QMessageBox::Question, {}, QMessageBox::No, text) != QMessageBox::Yes)
            return;
        replace = true;
    }
    if (const auto failure = linkPort(port, m_startupDirectory, target, replace)) {
        ShowMsgBox(this, kStrErrorCaption, 9188, QMessageBox::Ok, QMessageBox::Critical,
                   shown + QStringLiteral(": ") + *failure);
        return;
    }
    emit portLinked(port);
    refreshPorts();
    rbtnCom[port - 1]->setChecked(true);
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
