// SPDX-License-Identifier: MIT
#include "TableExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include "StringTable.h"
#include "XlsxTable.h"

namespace dmm {

std::optional<TableTarget> chooseTableTarget(QWidget* parent, const QString& proposedName)
{
    QFileDialog dialog(parent, tableString(1601));
    // Qt's own dialog, so that the two choices can sit inside it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({tableString(1607), tableString(1611)});
    // A name without an extension gets the chosen type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        dialog.setDefaultSuffix(f == tableString(1611) ? QStringLiteral("xlsx")
                                                       : QStringLiteral("csv"));
    });
    dialog.selectFile(proposedName);

    const TableFormat start = tableFormatFor(QLocale::system());
    auto* separator = new QComboBox(&dialog);
    separator->setObjectName(QStringLiteral("cbxSeparator"));
    separator->addItem(tableString(1603), int(','));
    separator->addItem(tableString(1604), int(';'));
    separator->addItem(tableString(1605), int('\t'));
    separator->setCurrentIndex(separator->findData(int(start.separator)));
    auto* decimalComma = new QCheckBox(tableString(1606), &dialog);
    decimalComma->setObjectName(QStringLiteral("cbDecimalComma"));
    decimalComma->setChecked(start.decimalComma);
    // Local times without a zone unless asked: what the recorder's views show.
    auto* utc = new QCheckBox(tableString(1610), &dialog);
    utc->setObjectName(QStringLiteral("cbUtc"));
    auto* label = new QLabel(tableString(1602), &dialog);
    label->setBuddy(separator);
    separator->setAccessibleName(tableString(1602));

    auto* choices = new QHBoxLayout;
    choices->addWidget(separator);
    choices->addSpacing(12);
    choices->addWidget(decimalComma);
    choices->addSpacing(12);
    choices->addWidget(utc);
    choices->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addLayout(choices, row, 1, 1, grid->columnCount() - 1);
    } else if (auto* layout = dialog.layout()) {
        choices->insertWidget(0, label);
        layout->addItem(choices);
    }

    // A workbook has cells, not separators or decimal commas: the two are
    // off while the name would end in .xlsx (typed so, or without an
    // extension while the workbook type is chosen).
    auto* nameEdit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const auto followName = [&dialog, nameEdit, separator, decimalComma, label] {
        const QString name = nameEdit ? nameEdit->text() : QString();
        const bool workbook = isXlsxName(name) || (QFileInfo(name).suffix().isEmpty() &&
                                                   dialog.defaultSuffix() == QLatin1String("xlsx"));
        for (QWidget* choice : {static_cast<QWidget*>(separator),
                                static_cast<QWidget*>(decimalComma), static_cast<QWidget*>(label)})
            choice->setEnabled(!workbook);
    };
    if (nameEdit)
        QObject::connect(nameEdit, &QLineEdit::textChanged, &dialog, followName);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followName);
    followName();

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    TableTarget target;
    target.path = dialog.selectedFiles().first();
    target.format.separator = static_cast<char>(separator->currentData().toInt());
    target.format.decimalComma = decimalComma->isChecked();
    target.format.utc = utc->isChecked();
    return target;
}

} // namespace dmm
