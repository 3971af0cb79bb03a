// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/auditcharts.h"
#include "auditwindow/figures.h"

#include <QWidget>

#include <array>

class QChartView;
class QComboBox;
class QPlainTextEdit;
class QTabWidget;

namespace caldrin::auditwindow {

// The charts page: one tab per chart of the chosen model, with the chart's
// figures in words below it for screen readers. A chart is drawn when its
// tab comes into view: building all five at every delivery cost the event
// loop tens of milliseconds. Their words are set at once. The charts over
// time run along episode numbers or dates, as the user picks (remembered).
class ChartsPage : public QWidget {
    Q_OBJECT
public:
    explicit ChartsPage(QWidget* parent = nullptr);

    // `model` stays valid until the next call; the titles say `dateRange`.
    void show(const audit::ModelResult* model, const NumberFormat& format,
              const QString& dateRange);
    // Draws the chart in view if it is out of date.
    void drawVisible();
    ChartKind currentKind() const;
    TimeAxis timeAxis() const;

protected:
    // Charts follow the palette: dark charts on a dark desktop.
    void changeEvent(QEvent* event) override;

private:
    QChart::ChartTheme theme() const;

    const audit::ModelResult* model_ = nullptr;
    NumberFormat format_;
    QString dateRange_;
    QComboBox* timeAxisPicker_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    std::array<QChartView*, kChartKinds.size()> views_{};
    std::array<bool, kChartKinds.size()> stale_{};
    QPlainTextEdit* figures_ = nullptr;
};

} // namespace caldrin::auditwindow
