// SPDX-License-Identifier: MIT
#include "DataSheetModel.h"

#include <algorithm>

#include "DataListLine.h"

namespace dmm {

DataSheetModel::DataSheetModel(const RecordBuffer* buffer, QObject* parent)
    : QAbstractListModel(parent), m_buffer(buffer)
{
}

int DataSheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant DataSheetModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    return lineText(index.row());
}

QString DataSheetModel::lineText(int row) const
{
    if (row < 0 || row >= m_rows || !m_buffer)
        return {};
    const std::size_t entry = m_first + static_cast<std::size_t>(row);
    if (entry >= m_buffer->size())
        return {};
    // Record texts are single bytes from the meter or from a file; Latin-1
    // shows every byte as one character, whatever a file holds.
    const std::string line = dataListLine(entry, m_buffer->at(entry));
    return QString::fromLatin1(line.data(), qsizetype(line.size()));
}

void DataSheetModel::appendLines(std::size_t firstIndex, int count)
{
    count = std::min(count, room());
    if (count <= 0)
        return;
    if (m_rows == 0)
        m_first = firstIndex;
    beginInsertRows(QModelIndex(), m_rows, m_rows + count - 1);
    m_rows += count;
    endInsertRows();
}

} // namespace dmm
