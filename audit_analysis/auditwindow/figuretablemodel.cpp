// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/figuretablemodel.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace caldrin::auditwindow {

namespace {

QColor mixed(const QColor& base, const QColor& tint, double share) {
    return QColor::fromRgbF(static_cast<float>(base.redF() * (1 - share) + tint.redF() * share),
                            static_cast<float>(base.greenF() * (1 - share) + tint.greenF() * share),
                            static_cast<float>(base.blueF() * (1 - share) + tint.blueF() * share));
}

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor& colour) {
    auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The palette's text colour where it reads well on `background` (4.5:1, as
// for body text), else black or white, whichever reads better.
QColor textOn(const QColor& background) {
    const QColor text = QGuiApplication::palette().color(QPalette::Text);
    if (contrast(text, background) >= 4.5)
        return text;
    return contrast(Qt::black, background) >= contrast(Qt::white, background) ? QColor(Qt::black)
                                                                              : QColor(Qt::white);
}

QColor tintOf(const TableRow& row) {
    const QColor base = QGuiApplication::palette().color(QPalette::Base);
    const QColor tint =
        row.finding == Finding::MoreThanExpected ? QColor(220, 50, 47) : QColor(38, 139, 210);
    return mixed(base, tint, 0.3);
}

bool marked(const TableRow& row) {
    return row.finding == Finding::MoreThanExpected || row.finding == Finding::FewerThanExpected;
}

} // namespace

void FigureTableModel::setTable(FigureTable table) {
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

int FigureTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
}

int FigureTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.headers.size());
}

QVariant FigureTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const TableRow& row = table_.rows[static_cast<std::size_t>(index.row())];
    const QString cell = index.column() < row.cells.size() ? row.cells[index.column()] : QString();
    const QString note = index.column() < row.notes.size() ? row.notes[index.column()] : QString();
    switch (role) {
    case Qt::DisplayRole:
        return cell;
    case Qt::ToolTipRole:
        return note.isEmpty() ? QVariant() : QVariant(note);
    case Qt::AccessibleTextRole:
        return table_.headers[index.column()] + QStringLiteral(": ") + cell;
    case Qt::AccessibleDescriptionRole:
        return note.isEmpty() ? QVariant() : QVariant(note);
    case Qt::FontRole:
        if (marked(row)) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case Qt::BackgroundRole:
        return marked(row) ? QVariant(QBrush(tintOf(row))) : QVariant();
    case Qt::ForegroundRole:
        // Set with the tint, so that a dark palette's light text (or a
        // light palette's dark text) is never left on a tint it cannot be read on.
        return marked(row) ? QVariant(QBrush(textOn(tintOf(row)))) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == 0 || index.column() == columnCount() - 1
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant FigureTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    return table_.headers[section];
}

} // namespace caldrin::auditwindow
