// SPDX-License-Identifier: MIT
// The lines of one data-list sheet. A sheet holds consecutive entries of the
// recorder buffer, so it keeps only the index of its first entry and its line
// count and formats a line when a view asks for it: a million lines cost no
// memory beyond the records themselves.
#pragma once

#include <QAbstractListModel>

#include <cstddef>

#include "RecordBuffer.h"

namespace dmm {

class DataSheetModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int kLinesPerSheet = 32000;

    // `buffer` is read, never changed, and must outlive the model.
    explicit DataSheetModel(const RecordBuffer* buffer, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Appends the line of buffer entry `bufferIndex`. The first line fixes the
    // sheet's first entry; the lines after it follow it one by one, as the
    // recorder sends its entries in increasing order.
    void appendLine(std::size_t bufferIndex) { appendLines(bufferIndex, 1); }
    // Appends the lines of `count` consecutive entries from `firstIndex` in one
    // insertion; at most the room the sheet has left.
    void appendLines(std::size_t firstIndex, int count);
    int room() const { return kLinesPerSheet - m_rows; }

    bool isFull() const { return m_rows >= kLinesPerSheet; }
    std::size_t firstIndex() const { return m_first; }
    // The text of a line; empty for a row the sheet does not hold or whose
    // entry has left the buffer (it was emptied before the reset arrived).
    QString lineText(int row) const;

private:
    const RecordBuffer* m_buffer;
    std::size_t m_first = 0;
    int m_rows = 0;
};

} // namespace dmm
