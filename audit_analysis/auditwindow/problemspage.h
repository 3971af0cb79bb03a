// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <memory>

class QModelIndex;
class QPlainTextEdit;
class QTableView;

namespace caldrin::auditwindow {

class FigureTableModel;
struct AuditLoad;

// The page of reading problems and exclusions, with the line of the file a
// chosen problem came from.
class ProblemsPage : public QWidget {
    Q_OBJECT
public:
    explicit ProblemsPage(QWidget* parent = nullptr);

    void show(std::shared_ptr<const AuditLoad> load);
    // The line shown belongs to the files shown before.
    void clearLine();
    const FigureTableModel* model() const { return model_; }

private:
    void showSourceLine(const QModelIndex& index);

    std::shared_ptr<const AuditLoad> load_;
    FigureTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QPlainTextEdit* lineView_ = nullptr;
};

} // namespace caldrin::auditwindow
