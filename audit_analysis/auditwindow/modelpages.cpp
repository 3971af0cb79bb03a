// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/modelpages.h"

#include "auditwindow/auditcharts.h"
#include "auditwindow/funnelchart.h"
#include "auditwindow/modelnames.h"
#include "auditwindow/pagewriter.h"

#include <algorithm>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

// The CUSUM's signals in a few lines: a file can hold hundreds.
QString cusumSummary(const ModelResult& model, const NumberFormat& format) {
    constexpr std::size_t kListed = 12;
    const Cusum& cusum = model.cusum;
    QString text = QStringLiteral("Risk-adjusted CUSUM for odds ratio %1, control limit %2")
                       .arg(format.number(cusum.oddsRatio, 2),
                            cusum.limit ? format.number(*cusum.limit, 2)
                            : cusum.limitMissing.empty()
                                ? QStringLiteral("not available")
                                : QStringLiteral("not available (%1)")
                                      .arg(QString::fromStdString(cusum.limitMissing)));
    if (cusum.limitComputed)
        text += QStringLiteral(" (computed for an in-control average run length of %1 episodes)")
                    .arg(cusum.targetArl);
    text += QStringLiteral(". ");
    if (cusum.signals.empty())
        return text + QStringLiteral("No signals.");
    text += QStringLiteral("%1 signals, at episodes (date): ").arg(cusum.signals.size());
    QStringList listed;
    for (std::size_t i = 0; i < cusum.signals.size() && i < kListed; ++i)
        listed << QStringLiteral("%1 (%2)")
                      .arg(cusum.signals[i].position)
                      .arg(QString::fromUtf8(cusum.signals[i].date));
    text += listed.join(QStringLiteral(", "));
    if (cusum.signals.size() > kListed)
        text += QStringLiteral(" and %1 more; the window lists all.")
                    .arg(cusum.signals.size() - kListed);
    return text;
}

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
            makeChart(model, kind, QChart::ChartThemeLight, format);
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
    page.text(cusumSummary(model, format), 8);

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
