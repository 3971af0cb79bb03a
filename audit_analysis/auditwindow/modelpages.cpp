// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/modelpages.h"

#include "auditwindow/auditcharts.h"
#include "auditwindow/funnelchart.h"
#include "auditwindow/modelnames.h"
#include "auditwindow/pagewriter.h"
#include "auditwindow/timecharts.h"

#include <algorithm>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'));
}

} // namespace

void modelPages(PageWriter& page, std::size_t modelIndex, const ReportContext& context) {
    const ModelResult& model = context.result.models[modelIndex];
    const NumberFormat& format = context.format;
    const QString name = modelName(model.model);
    const auto chartBeside = [&](ChartKind kind, double height) {
        const std::unique_ptr<QChart> chart =
            makeChart(model, kind, QChart::ChartThemeLight, format, {}, preferredTimeAxis(model));
        page.chartWithFigures(*chart, lines(chartFigures(model, kind, format)), height);
    };

    page.newPage();
    page.text(name, 16, true);
    page.table(bandTable(model, format));
    chartBeside(ChartKind::Calibration, std::max(220.0, page.remaining() - 8));

    page.newPage();
    page.text(name + QStringLiteral(": discrimination and predicted risks"), 16, true);
    const double half = (page.remaining() - 16) / 2;
    chartBeside(ChartKind::Roc, half);
    chartBeside(ChartKind::Histogram, half);

    page.newPage();
    page.text(name + QStringLiteral(": over time"), 16, true);
    const double height = (page.remaining() - 70) / 2; // leaves room for the signals
    chartBeside(ChartKind::Vlad, height);
    chartBeside(ChartKind::Cusum, height);
    page.text(cusumReportText(model, format, preferredTimeAxis(model)), 8);

    // One file is one unit: nothing to compare it with.
    if (context.result.units.size() < 2)
        return;
    page.newPage();
    page.text(name + QStringLiteral(": units on a funnel plot"), 16, true);
    const std::unique_ptr<QChart> funnel =
        makeFunnelChart(context.result, modelIndex, QChart::ChartThemeLight, format);
    page.chartWithFigures(*funnel, lines(funnelFigures(context.result, modelIndex, format)),
                          page.remaining() - 8);
}

} // namespace caldrin::auditwindow
