// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditcharts.h"
#include "auditwindow/filterbar.h"

#include <QCategoryAxis>
#include <QChartView>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTest>

#include <cmath>

using namespace caldrin::audit;
using namespace caldrin::auditwindow;

namespace {

// A model whose episodes fall one a day from `first`, the last `undated`
// without a date.
ModelResult dailyModel(const QDate& first, int days, int undated = 0) {
    ModelResult model;
    model.model = Model::PPossumMortality;
    model.outcome = Outcome::Mortality;
    model.overall.n = static_cast<std::uint64_t>(days + undated);
    model.undated = static_cast<std::uint64_t>(undated);
    for (int i = 0; i < days + undated; ++i) {
        TimePoint point;
        point.position = static_cast<std::uint64_t>(i + 1);
        point.day = i < days ? dayNumber(dateOf(first.addDays(i))) : Episode::kNoDay;
        point.vlad = 0.1 * i;
        point.cusum = 0.2 * (i % 5);
        point.improvement = 0.3 * (i % 4);
        model.series.push_back(point);
    }
    return model;
}

QAbstractAxis* timeAxisOf(QChart& chart) {
    return chart.axes(Qt::Horizontal).first();
}

} // namespace

class ChartsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dateAxesTickOnWholeDaysLabelledWithTheirDate_data() {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("labelFormat");
        QTest::addColumn<int>("dayOfWeek"); // of every tick; 0: any
        QTest::addColumn<bool>("firstOfMonth");
        QTest::newRow("4 days: every day") << QDate(2024, 7, 1) << 4 << "d MMM yyyy" << 0 << false;
        QTest::newRow("11 days: every other day")
            << QDate(2024, 7, 1) << 11 << "d MMM yyyy" << 0 << false;
        QTest::newRow("5 weeks: Mondays") << QDate(2024, 7, 3) << 35 << "d MMM yyyy" << 1 << false;
        QTest::newRow("a quarter") << QDate(2024, 7, 1) << 92 << "MMM yyyy" << 0 << true;
        QTest::newRow("seven months") << QDate(2024, 1, 15) << 200 << "MMM yyyy" << 0 << true;
        QTest::newRow("eight years") << QDate(2015, 3, 1) << 3000 << "yyyy" << 0 << true;
    }
    void dateAxesTickOnWholeDaysLabelledWithTheirDate() {
        QFETCH(QDate, first);
        QFETCH(int, days);
        QFETCH(QString, labelFormat);
        QFETCH(int, dayOfWeek);
        QFETCH(bool, firstOfMonth);
        const ModelResult model = dailyModel(first, days);
        for (const ChartKind kind : {ChartKind::Vlad, ChartKind::Cusum}) {
            const auto chart =
                makeChart(model, kind, QChart::ChartThemeLight, NumberFormat(), {}, TimeAxis::Date);
            auto* axis = qobject_cast<QCategoryAxis*>(timeAxisOf(*chart));
            QVERIFY(axis);
            QCOMPARE(axis->min(), static_cast<double>(dayNumber(dateOf(first))));
            QCOMPARE(axis->max(), static_cast<double>(dayNumber(dateOf(first.addDays(days - 1)))));
            const QStringList labels = axis->categoriesLabels();
            QVERIFY2(labels.size() >= 2 && labels.size() <= 6, qPrintable(labels.join(", ")));
            for (const QString& label : labels) {
                const double at = axis->endValue(label);
                QCOMPARE(at, std::round(at));
                QVERIFY(at >= axis->min() && at <= axis->max());
                const QDate date = qDateOf(static_cast<std::int32_t>(at));
                QCOMPARE(label, date.toString(labelFormat));
                if (dayOfWeek)
                    QCOMPARE(date.dayOfWeek(), dayOfWeek);
                if (firstOfMonth)
                    QCOMPARE(date.day(), 1);
            }
            // Every episode at its own day.
            QLineSeries* path = nullptr;
            for (QAbstractSeries* series : chart->series())
                if (series->objectName() == (kind == ChartKind::Vlad ? "vlad" : "cusum"))
                    path = qobject_cast<QLineSeries*>(series);
            QCOMPARE(path->count(), days + 1);
            QCOMPARE(path->at(days).x(), axis->max());
        }
    }

    void oneDayAndNoDatesAreStillDrawn() {
        // A single day: the axis spans a day either side, ticks on whole days.
        const auto oneDay = makeChart(dailyModel(QDate(2024, 7, 1), 1), ChartKind::Vlad,
                                      QChart::ChartThemeLight, NumberFormat(), {}, TimeAxis::Date);
        auto* dates = qobject_cast<QCategoryAxis*>(timeAxisOf(*oneDay));
        QVERIFY(dates && dates->max() - dates->min() == 2);
        QCOMPARE(dates->categoriesLabels(),
                 QStringList({"30 Jun 2024", "1 Jul 2024", "2 Jul 2024"}));
        // No readable date at all: by episode number, and the axis says why.
        const auto undated = makeChart(dailyModel(QDate(2024, 7, 1), 0, 5), ChartKind::Cusum,
                                       QChart::ChartThemeLight, NumberFormat(), {}, TimeAxis::Date);
        auto* numbers = qobject_cast<QValueAxis*>(timeAxisOf(*undated));
        QVERIFY(numbers && !qobject_cast<QCategoryAxis*>(numbers));
        QCOMPARE(numbers->titleText(),
                 QStringLiteral("Episodes in file order: none has a readable date"));
        QCOMPARE(preferredTimeAxis(dailyModel(QDate(2024, 7, 1), 0, 5)), TimeAxis::EpisodeNumber);
        QCOMPARE(preferredTimeAxis(dailyModel(QDate(2024, 7, 1), 1, 5)), TimeAxis::Date);
    }

    // Each side's path, its limit and its signals, each in the legend as it is
    // drawn; the lower limit with a true minus sign.
    void cusumLegendNamesLimitsAndSignals() {
        ModelResult model = dailyModel(QDate(2024, 7, 1), 20);
        model.cusum.limit = 4.5;
        model.improvement.limit = 4.25;
        model.improvement.oddsRatio = 0.5;
        model.series[3].signal = true;
        model.series[7].improvementSignal = true;
        QChartView view(
            makeChart(model, ChartKind::Cusum, QChart::ChartThemeLight, NumberFormat()).release());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QChart* chart = view.chart();
        QCOMPARE(chart->legend()->markerShape(), QLegend::MarkerShapeFromSeries);
        QStringList shown;
        for (QAbstractSeries* series : chart->series())
            for (QLegendMarker* marker : chart->legend()->markers(series))
                if (marker->isVisible())
                    shown << series->objectName() + ": " + marker->label();
        for (const QString& entry : {QStringLiteral("limit: Control limit 4.50"),
                                     QStringLiteral("improvementLimit: Control limit \u22124.25"),
                                     QStringLiteral("signals: Signals: more deaths"),
                                     QStringLiteral("improvementSignals: Signals: fewer deaths")})
            QVERIFY2(shown.contains(entry), qPrintable(shown.join(QLatin1Char('\n'))));
    }

    // The legend of the predicted risks shows each bar's colour, so that the
    // reader can tell the deaths from the survivors.
    void histogramLegendShowsEachBarsColour() {
        ModelResult model = dailyModel(QDate(2024, 7, 1), 20);
        model.histogram.withEvent[10] = 30;
        model.histogram.withoutEvent[10] = 70;
        QChartView view(
            makeChart(model, ChartKind::Histogram, QChart::ChartThemeLight, NumberFormat())
                .release());
        view.resize(700, 450);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.grab().toImage();
        // Below the axis: the legend alone.
        const int legendTop = static_cast<int>(view.chart()->plotArea().bottom()) + 40;
        auto colourBelow = [&](const QColor& wanted) {
            for (int y = legendTop; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == wanted)
                        return true;
            return false;
        };
        QVERIFY2(colourBelow(QColor(214, 39, 40)), "no red box for the deaths");
        QVERIFY2(colourBelow(QColor(31, 119, 180)), "no blue box for the survivors");
    }

    void aMissingLimitIsSaidWithItsReason() {
        ModelResult model = dailyModel(QDate(2024, 7, 1), 20);
        model.cusum.limitMissing = "every predicted risk is 0 or 1";
        model.improvement.oddsRatio = 0.5;
        const auto chart =
            makeChart(model, ChartKind::Cusum, QChart::ChartThemeLight, NumberFormat());
        QStringList legend;
        for (QAbstractSeries* series : chart->series()) {
            QVERIFY(series->objectName() != "limit" && series->objectName() != "improvementLimit");
            if (series->objectName().endsWith("imitMissing"))
                legend << series->objectName() + ": " + series->name();
        }
        QCOMPARE(legend,
                 QStringList({"limitMissing: No control limit for more deaths: every predicted "
                              "risk is 0 or 1",
                              "improvementLimitMissing: Control limit for fewer deaths: not yet "
                              "computed"}));
        const QString words = chartFigures(model, ChartKind::Cusum, NumberFormat());
        QVERIFY(words.contains("More deaths than predicted: odds ratio 2.00; control limit none "
                               "(every predicted risk is 0 or 1)"));
        QVERIFY(words.contains("Fewer deaths than predicted (drawn below 0): odds ratio 0.50; "
                               "control limit not yet computed"));
    }
};

QTEST_MAIN(ChartsTest)
#include "charts_test.moc"
