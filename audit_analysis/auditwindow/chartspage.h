// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/auditcharts.h"
#include "auditwindow/figures.h"

#include <QWidget>

#include <array>

class QChartView;
class QPlainTextEdit;
class QTabWidget;

namespace caldrin::auditwindow {

// The charts page: one tab per chart of the chosen model, with the chart's
// figures in words below it for screen readers. A chart is drawn when its
// tab comes into view: building all five at every delivery cost the event
// loop tens of milliseconds. Their words are set at once.
class ChartsPage : public QWidget {
    Q_OBJECT
public:
    explicit ChartsPage(QWidget* parent = nullptr);

    // `model` stays valid until the next call.
    void show(const audit::ModelResult* model, const NumberFormat& format);
    // Draws the chart in view if it is out of date.
    void drawVisible();
    ChartKind currentKind() const;

protected:
    // Charts follow the palette: dark charts on a dark desktop.
    void changeEvent(QEvent* event) override;

private:
    QChart::ChartTheme theme() const;

    const audit::ModelResult* model_ = nullptr;
    NumberFormat format_;
    QTabWidget* tabs_ = nullptr;
    std::array<QChartView*, kChartKinds.size()> views_{};
    std::array<bool, kChartKinds.size()> stale_{};
    QPlainTextEdit* figures_ = nullptr;
};

} // namespace caldrin::auditwindow
