// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/figures.h"

#include <QScrollArea>

class QLabel;
class QPushButton;
class QTableView;

namespace caldrin::auditwindow {

class FigureTableModel;
struct AuditLoad;

// A table view of figures as every page shows them: whole rows, no editing.
QTableView* makeTableView(FigureTableModel* model, const QString& objectName,
                          const QString& accessibleName);

// The summary page: what was read, the morbidity and mortality tables with
// their findings in words below them, every model's calibration figures, the
// models' AUROCs compared, and the risk bands of the chosen model.
// The page scrolls; a table never cuts.
class SummaryPage : public QScrollArea {
    Q_OBJECT
public:
    explicit SummaryPage(QWidget* parent = nullptr);

    // `picked` is the model whose bands are shown; `dateRange` in words.
    void show(const AuditLoad& load, const audit::ModelResult* picked, const NumberFormat& format,
              const QString& dateRange);
    // The tints of marked rows are mixed from the palette.
    void repaintTints();

    const FigureTableModel* morbidityModel() const { return morbidityModel_; }
    const FigureTableModel* mortalityModel() const { return mortalityModel_; }
    const FigureTableModel* bandModel() const { return bandModel_; }
    const FigureTableModel* calibrationModel() const { return calibrationModel_; }
    const FigureTableModel* comparisonModel() const { return comparisonModel_; }

Q_SIGNALS:
    // "Update the chosen model": the window fits it (File, Update this Model).
    void updateRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitSummaryText();
    // The words below the tables: findings, notes and how to read them.
    QList<QLabel*> belowTables() const;

    FigureTableModel* morbidityModel_ = nullptr;
    FigureTableModel* mortalityModel_ = nullptr;
    FigureTableModel* bandModel_ = nullptr;
    FigureTableModel* calibrationModel_ = nullptr;
    FigureTableModel* comparisonModel_ = nullptr;
    QLabel* summaryLabel_ = nullptr;
    QLabel* morbidityFindings_ = nullptr;
    QLabel* mortalityFindings_ = nullptr;
    QLabel* calibrationNotes_ = nullptr;
    QLabel* comparisonNotes_ = nullptr;
    QLabel* calibrationReading_ = nullptr;
    QTableView* morbidityTable_ = nullptr;
    QTableView* mortalityTable_ = nullptr;
    QTableView* bandTable_ = nullptr;
    QTableView* calibrationTable_ = nullptr;
    QTableView* comparisonTable_ = nullptr;
    QPushButton* updateButton_ = nullptr;
};

} // namespace caldrin::auditwindow
