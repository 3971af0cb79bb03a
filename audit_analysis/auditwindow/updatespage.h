// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/figures.h"

#include <QScrollArea>

class QLabel;
class QTableView;

namespace caldrin::auditwindow {

class FigureTableModel;
struct AuditLoad;

// The Updated models page: the model updates added to the window (File >
// Add an Update...), each measured as one more model on the episodes after
// its fit period within the date range, with what was left out and why in
// words below the table. The page scrolls; the table never cuts.
class UpdatesPage : public QScrollArea {
    Q_OBJECT
public:
    explicit UpdatesPage(QWidget* parent = nullptr);

    void show(const AuditLoad& load, const NumberFormat& format);
    const FigureTableModel* model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FigureTableModel* model_ = nullptr;
    QLabel* noneLabel_ = nullptr;
    QLabel* tableTitle_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* notes_ = nullptr;
    QLabel* reading_ = nullptr;
};

} // namespace caldrin::auditwindow
