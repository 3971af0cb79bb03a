// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/figures.h"

#include <QChart>
#include <QWidget>

class QChartView;
class QPlainTextEdit;

namespace caldrin::auditwindow {

class FigureTableModel;

// The funnel page: the chosen model's units (one per input file) on a funnel
// plot, with the same figures in words beside it, units outside the limits
// first. Drawn when the page comes into view, like the charts.
class FunnelPage : public QWidget {
    Q_OBJECT
public:
    explicit FunnelPage(QWidget* parent = nullptr);

    // `result` stays valid until the next call; `modelIndex` into its models.
    void show(const audit::AnalysisResult* result, std::size_t modelIndex,
              const NumberFormat& format);
    // Draws the plot if it is in view and out of date.
    void drawVisible();
    // The units as a table, for CSV export.
    const FigureTableModel* unitModel() const { return unitModel_; }

protected:
    void showEvent(QShowEvent* event) override;
    // The plot follows the palette: dark on a dark desktop.
    void changeEvent(QEvent* event) override;

private:
    QChart::ChartTheme theme() const;

    const audit::AnalysisResult* result_ = nullptr;
    std::size_t modelIndex_ = 0;
    NumberFormat format_;
    bool stale_ = false;
    QChartView* view_ = nullptr;
    QPlainTextEdit* figures_ = nullptr;
    FigureTableModel* unitModel_ = nullptr;
};

} // namespace caldrin::auditwindow
