// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/figures.h"

#include <QAbstractTableModel>

namespace caldrin::auditwindow {

// Shows a FigureTable in a view. Rows with a finding are bold and tinted, and
// say the finding in words; the tint is mixed from the palette's base colour,
// so it stays readable under a dark palette.
class FigureTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTable(FigureTable table);
    const FigureTable& table() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    FigureTable table_;
};

} // namespace caldrin::auditwindow
