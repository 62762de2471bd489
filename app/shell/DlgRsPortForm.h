// SPDX-License-Identifier: MIT
// The port dialog: one choice per COM1..COM8, those found at start-up enabled,
// and those whose link lost its device, so that they can be linked again.
#pragma once

#include <QDialog>

#include <QString>

#include <array>

class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace dmm {

class TDlgRsPortForm : public QDialog
{
    Q_OBJECT
public:
    // `portPresent` is read at every showing; it must outlive the dialog.
    TDlgRsPortForm(const std::array<bool, 8>* portPresent, QWidget* parent = nullptr);

    // Handed in before showing; after OK, the port chosen.
    int iSelPort = 1;
    // The device each of COM1..COM8 stands for, shown beside its button, so
    // that a user with several adapters sees which is which.
    void setPortDevices(const std::array<QString, 8>& devices);
    // The folder in which the link control makes its COMn links.
    void setStartupDirectory(const QString& directory) { m_startupDirectory = directory; }
    // Enables the ports again from the present flags and the links, keeping the choice.
    void refreshPorts();

    QLabel* Image1 = nullptr;
    QFrame* Panel1 = nullptr;
    std::array<QRadioButton*, 8> rbtnCom{};
    std::array<QLabel*, 8> lblDevice{};
    // Links the checked port to one of the serial adapters plugged in.
    QComboBox* cbxAdapter = nullptr;
    QPushButton* bbtnLink = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* bbtnOk = nullptr;
    QPushButton* bbtnCancel = nullptr;

signals:
    // COMn now links to an adapter: its device and present flag need a new look.
    void portLinked(int port);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void bbtnOkClick();
    void fillAdapters();
    void updateLinkControl();
    void bbtnLinkClick();

    const std::array<bool, 8>* m_portPresent;
    QButtonGroup* m_group = nullptr;
    QString m_startupDirectory;
};

} // namespace dmm
