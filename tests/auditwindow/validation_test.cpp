// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration figures, the models compared and the units' funnel plot in
// the audit window, driven offscreen on generated audit files and checked
// against the engine's own figures.
#include "audit/auditanalysis.h"
#include "audit/funnel.h"
#include "auditgenerator.h"
#include "auditwindow/auditwindow.h"
#include "auditwindow/figures.h"
#include "auditwindow/modelnames.h"
#include "auditwindowtesting.h"
#include "fakeplatform.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace caldrin;
using namespace caldrin::audit;
using namespace caldrin::auditwindow;
using caldrin::auditwindow::testing::FakeAuditDialogs;
namespace generated = caldrin::audit::testing;
using caldrin::auditwindow::testing::testSettings;
using caldrin::auditwindow::testing::titleOf;
using caldrin::testing::FakePlatform;

namespace {

// Figures with a given control limit: the limit plays no part here.
AnalysisResult engineFigures(const QStringList& paths) {
    AnalysisOptions options = testSettings().analysis;
    options.limit = 5;
    return caldrin::auditwindow::testing::engineFigures(paths, options);
}

std::size_t indexOf(const AnalysisResult& result, Model model) {
    for (std::size_t k = 0; k < result.models.size(); ++k)
        if (result.models[k].model == model)
            return k;
    qFatal("model missing from the engine's result");
}

template <typename Series> QList<Series*> seriesNamed(QChartView* view, const QString& name) {
    QList<Series*> found;
    for (QAbstractSeries* series : view->chart()->series())
        if (series->objectName() == name)
            found << qobject_cast<Series*>(series);
    return found;
}

} // namespace

class ValidationTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePlatform platform;
    FakeAuditDialogs dialogs;
    std::unique_ptr<AuditWindow> window;

    QString generate(const QString& name, std::size_t records, std::uint64_t seed,
                     double oddsMultiplier) {
        generated::GeneratedAudit options;
        options.records = records;
        options.seed = seed;
        options.oddsMultiplier = oddsMultiplier;
        const QString path = dir.filePath(name);
        if (!generated::writeAuditFile(QFile::encodeName(path).toStdString(), options))
            qFatal("cannot write the generated audit file");
        return path;
    }

    // Five units of 1,000 episodes each; the third has twice the odds of the
    // event.
    QStringList fiveUnitsTheThirdWithDoubledOdds() {
        QStringList files;
        for (int u = 0; u < 4; ++u)
            files << generate(QStringLiteral("unit%1.csv").arg(u), 1000,
                              static_cast<std::uint64_t>(100 + u), 1.0);
        files.insert(2, generate(QStringLiteral("doubled.csv"), 1000, 200, 2.0));
        return files;
    }

    // Opens the files through File > Open, as a user would, and waits for
    // every figure.
    void open(const QStringList& paths) {
        window = std::make_unique<AuditWindow>(platform, dialogs, testSettings());
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        dialogs.openAnswers.push_back(paths);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(
            !window->isBusy() && window->shownLoad() && window->shownLoad()->complete, 120000);
    }

    // Picks the model by typing its name into the model box.
    void chooseModel(Model model) {
        auto* picker = child<QComboBox>("modelPicker");
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Home);
        for (int i = 0; i < picker->findText(titleOf(model)); ++i)
            QTest::keyClick(picker, Qt::Key_Down);
        QCOMPARE(picker->currentText(), titleOf(model));
    }

    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }

    QStringList row(const char* table, int r) {
        const QAbstractItemModel* model = child<QTableView>(table)->model();
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        return cells;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("CaldrinTest"));
        QCoreApplication::setApplicationName(QStringLiteral("ValidationTest"));
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("settings")));
    }
    void cleanup() { window.reset(); }

    void summaryShowsCalibrationAndTheModelsCompared() {
        const QString file = generate(QStringLiteral("audit.csv"), 3000, 7, 1.0);
        open({file});
        const AnalysisResult expected = engineFigures({file});
        const NumberFormat format;

        QCOMPARE(child<QTableView>("calibrationTable")->model()->rowCount(),
                 static_cast<int>(expected.models.size()));
        for (int r = 0; r < static_cast<int>(expected.models.size()); ++r) {
            const ModelResult& m = expected.models[static_cast<std::size_t>(r)];
            const Calibration& c = m.calibration;
            const QStringList cells = row("calibrationTable", r);
            QCOMPARE(cells[0], titleOf(m.model));
            QCOMPARE(cells[1], QString::number(m.overall.n));
            QCOMPARE(cells[2], format.withInterval(*c.inTheLarge, c.inTheLargeInterval, 2));
            QCOMPARE(cells[3], format.withInterval(*c.intercept, c.interceptInterval, 2));
            QCOMPARE(cells[4], format.withInterval(*c.slope, c.slopeInterval, 2));
            QCOMPARE(cells[5], format.number(*m.calibrationCurve.ici, 3));
            QCOMPARE(cells[8], format.number(*m.calibrationCurve.emax, 3));
            // Few events are said in words, never only by a mark.
            QCOMPARE(cells[9].contains("imprecise: fewer than 100 episodes"), m.fewEvents);
        }
        const QString reading = child<QLabel>("calibrationReading")->text();
        QVERIFY(reading.contains("Calibration-in-the-large is 0"));
        QVERIFY(reading.contains("recalibration intercept belongs with the calibration slope"));
        QVERIFY(reading.contains("legacy test whose verdict depends on the number of episodes"));

        // Every pair of mortality models, in the engine's order, each with
        // figures or the reason there are none.
        QCOMPARE(child<QTableView>("comparisonTable")->model()->rowCount(),
                 static_cast<int>(expected.aurocComparisons.size()));
        QCOMPARE(expected.aurocComparisons.size(), 21u);
        int withFigures = 0;
        int withReason = 0;
        for (int r = 0; r < static_cast<int>(expected.aurocComparisons.size()); ++r) {
            const AurocComparison& c = expected.aurocComparisons[static_cast<std::size_t>(r)];
            const QStringList cells = row("comparisonTable", r);
            QCOMPARE(cells[0], titleOf(c.first) + " against " + titleOf(c.second));
            QCOMPARE(cells[1], QString::number(c.n));
            if (c.interval) {
                ++withFigures;
                QCOMPARE(cells[2], format.withInterval(*c.difference, c.interval, 3));
                QCOMPARE(cells[3], format.number(*c.z, 2));
                QCOMPARE(cells[4], format.pValue(*c.p));
            } else {
                ++withReason;
                QCOMPARE(cells[3], QStringLiteral("n/a"));
                QVERIFY(!cells[5].isEmpty());
                QCOMPARE(cells[5], QString::fromUtf8(c.missing));
            }
        }
        QVERIFY(withFigures > 0);
        // The two equations of the physiological score alone rank alike.
        QVERIFY(withReason > 0);

        // Both tables export as CSV, intervals in columns of their own.
        const QString csv = dir.filePath(QStringLiteral("calibration.csv"));
        dialogs.saveAnswers.push_back(csv);
        window->findChild<QAction*>("actionCsvCalibration")->trigger();
        QFile written(csv);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(written.readAll()).split(QStringLiteral("\r\n"));
        QVERIFY(lines[0].contains("Calibration-in-the-large lower 95% limit"));
        const Calibration& first = expected.models[0].calibration;
        QVERIFY2(
            lines[1].contains(QStringLiteral(",%1,%2,%3,")
                                  .arg(QString::number(*first.inTheLarge, 'f', 2),
                                       QString::number(first.inTheLargeInterval->lower, 'f', 2),
                                       QString::number(first.inTheLargeInterval->upper, 'f', 2))),
            qPrintable(lines[1]));
        dialogs.saveAnswers.push_back(dir.filePath(QStringLiteral("compared.csv")));
        window->findChild<QAction*>("actionCsvComparison")->trigger();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("compared.csv"))));
    }

    void fewEventsAndMissingFitsAreSaidWithTheirReasons() {
        // No deaths at all: no calibration figure can be fitted for mortality.
        const QString file = generate(QStringLiteral("nodeaths.csv"), 60, 3, 1e-9);
        open({file});
        const QStringList cells = row("calibrationTable", 2); // P-POSSUM mortality
        QCOMPARE(cells[0], titleOf(Model::PPossumMortality));
        QCOMPARE(cells[2], QStringLiteral("n/a"));
        QCOMPARE(cells[5], QStringLiteral("n/a"));
        QVERIFY2(cells[9].contains("no calibration-in-the-large: no episode had the event"),
                 qPrintable(cells[9]));
        QVERIFY(cells[9].contains("no flexible curve: "));
        QVERIFY(
            cells[9].contains("imprecise: fewer than 100 episodes with, or without, the death"));
        // Said in words below the table, not in a column too narrow for them.
        QVERIFY(child<QLabel>("calibrationNotes")
                    ->text()
                    .contains(titleOf(Model::PPossumMortality) +
                              ": no calibration-in-the-large: no episode had the event"));
        const QStringList pair = row("comparisonTable", 0);
        QCOMPARE(pair[2], QStringLiteral("n/a"));
        QCOMPARE(pair[5], QStringLiteral("no episode had the outcome"));
        QVERIFY(child<QLabel>("comparisonNotes")->text().contains(pair[0] + ": " + pair[5]));
    }

    void calibrationChartDrawsTheFlexibleCurveAndItsBand() {
        const QString file = generate(QStringLiteral("curve.csv"), 3000, 11, 1.0);
        open({file});
        const AnalysisResult expected = engineFigures({file});
        const ModelResult& m = expected.models[indexOf(expected, Model::PossumMorbidity)];
        chooseModel(Model::PossumMorbidity);
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        auto* view = child<QChartView>("calibrationChart");
        QTRY_VERIFY(view->isVisible() && view->chart() &&
                    view->chart()->title().startsWith(titleOf(Model::PossumMorbidity)));

        const auto curve = seriesNamed<QLineSeries>(view, "curve");
        QCOMPARE(curve.size(), 1);
        QCOMPARE(curve[0]->count(), CalibrationCurve::kPoints);
        const auto band = seriesNamed<QAreaSeries>(view, "curveBand");
        QCOMPARE(band.size(), 1);
        for (int i = 0; i < CalibrationCurve::kPoints; ++i) {
            const CalibrationCurvePoint& p = m.calibrationCurve.points[static_cast<std::size_t>(i)];
            QCOMPARE(curve[0]->at(i), QPointF(p.p, p.observed));
            QCOMPARE(band[0]->upperSeries()->at(i), QPointF(p.p, p.upper));
            QCOMPARE(band[0]->lowerSeries()->at(i), QPointF(p.p, p.lower));
            QVERIFY(p.lower <= p.observed && p.observed <= p.upper);
        }
        QVERIFY(seriesNamed<QLineSeries>(view, "curveMissing").isEmpty());
        QCOMPARE(seriesNamed<QLineSeries>(view, "diagonal").size(), 1);
        // The risks beneath: each outcome's episodes as shares of its own,
        // both from 0, the events' bars in front and solid enough to see.
        const auto with = seriesNamed<QAreaSeries>(view, "histogramWith");
        const auto without = seriesNamed<QAreaSeries>(view, "histogramWithout");
        QCOMPARE(with.size(), 1);
        QCOMPARE(without.size(), 1);
        for (const QAreaSeries* area : {with[0], without[0]}) {
            double percent = 0;
            const QList<QPointF> tops = area->upperSeries()->points();
            for (qsizetype i = 0; i < tops.size(); i += 2)
                percent += tops[i].y();
            QVERIFY2(std::abs(percent - 100) < 1e-9, qPrintable(QString::number(percent)));
            for (const QPointF& bottom : area->lowerSeries()->points())
                QCOMPARE(bottom.y(), 0.0);
        }
        QVERIFY(view->chart()->series().indexOf(with[0]) >
                view->chart()->series().indexOf(without[0]));
        QVERIFY(with[0]->brush().color().alpha() >= 150);

        const QString words = child<QPlainTextEdit>("chartFigures")->toPlainText();
        QVERIFY2(words.contains(QStringLiteral("ICI %1, E50 %2")
                                    .arg(NumberFormat().number(*m.calibrationCurve.ici, 3),
                                         NumberFormat().number(*m.calibrationCurve.e50, 3))),
                 qPrintable(words));
        QVERIFY(words.contains("Curve at predicted "));
    }

    void observedRatesCarryIntervalsWithinZeroAndOne() {
        // Outcomes at twenty times the predicted odds: the highest bands lose
        // nearly every patient, where O:E's Poisson limits carried over to a
        // rate would pass 1.
        const QString file = generate(QStringLiteral("deadly.csv"), 3000, 5, 20.0);
        open({file});
        const AnalysisResult expected = engineFigures({file});
        const ModelResult& m = expected.models[indexOf(expected, Model::PPossumMortality)];
        bool poissonPassesOne = false;
        for (const RiskBand& band : m.bands)
            if (band.figures.interval && band.figures.n > 0)
                poissonPassesOne |= band.figures.interval->upper * band.figures.expected /
                                        static_cast<double>(band.figures.n) >
                                    1.0;
        QVERIFY(poissonPassesOne);

        chooseModel(Model::PPossumMortality);
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        auto* view = child<QChartView>("calibrationChart");
        QTRY_VERIFY(view->isVisible() && view->chart() &&
                    view->chart()->title().startsWith(titleOf(Model::PPossumMortality)));
        const auto bars = seriesNamed<QLineSeries>(view, "interval");
        QVERIFY(!bars.isEmpty());
        for (const QLineSeries* bar : bars)
            for (const QPointF& point : bar->points())
                QVERIFY2(point.y() >= 0 && point.y() <= 1, qPrintable(QString::number(point.y())));

        // In words: "observed rate 0.991 (0.958–1.000)", each inside [0, 1]
        // and holding its rate.
        const QString words = child<QPlainTextEdit>("chartFigures")->toPlainText();
        static const QRegularExpression rate(
            QStringLiteral("observed rate ([0-9.]+) \\(([0-9.]+)\u2013([0-9.]+)\\)"));
        int rates = 0;
        for (const QRegularExpressionMatch& match : rate.globalMatch(words)) {
            const double observed = match.captured(1).toDouble();
            const double lower = match.captured(2).toDouble();
            const double upper = match.captured(3).toDouble();
            QVERIFY2(0 <= lower && lower <= observed && observed <= upper && upper <= 1,
                     qPrintable(match.captured(0)));
            ++rates;
        }
        QCOMPARE(rates, static_cast<int>(
                            std::count_if(m.bands.begin(), m.bands.end(), [](const RiskBand& band) {
                                return band.figures.n > 0;
                            })));
    }

    void aMissingCurveSaysWhy() {
        const QString file = generate(QStringLiteral("nodeaths.csv"), 60, 3, 1e-9);
        open({file});
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        auto* view = child<QChartView>("calibrationChart");
        QTRY_VERIFY(view->isVisible() && view->chart() && !view->chart()->series().isEmpty());
        QVERIFY(seriesNamed<QLineSeries>(view, "curve").isEmpty());
        QVERIFY(seriesNamed<QAreaSeries>(view, "curveBand").isEmpty());
        const auto missing = seriesNamed<QLineSeries>(view, "curveMissing");
        QCOMPARE(missing.size(), 1);
        QCOMPARE(missing[0]->name(),
                 QStringLiteral("No flexible curve: no episode had the event, so there is "
                                "nothing to fit"));
        QVERIFY(child<QPlainTextEdit>("chartFigures")
                    ->toPlainText()
                    .contains("No flexible calibration curve: no episode had the event"));
    }

    void aUnitWithDoubledOddsIsFlaggedAndListedFirst() {
        const QStringList files = fiveUnitsTheThirdWithDoubledOdds();
        open(files);
        const AnalysisResult expected = engineFigures(files);
        const std::size_t k = indexOf(expected, Model::PPossumMortality);
        const UnitFigures& doubled = expected.units[2].models[k];
        QVERIFY(doubled.outside998);

        chooseModel(Model::RaaaPossumMortality);
        chooseModel(Model::PPossumMortality);
        QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
        QCOMPARE(child<QTabWidget>("pages")->currentWidget()->objectName(),
                 QStringLiteral("funnelPage"));
        auto* view = child<QChartView>("funnelChart");
        QTRY_VERIFY(view->chart() && !view->chart()->series().isEmpty());
        QVERIFY(view->chart()->title().startsWith(titleOf(Model::PPossumMortality)));

        // The flagged unit is drawn apart, at its O:E against its expected
        // count, and labelled with its number in the list beside the plot.
        const auto outside = seriesNamed<QScatterSeries>(view, "unitOutside");
        QCOMPARE(outside.size(), 1);
        QCOMPARE(outside[0]->pointLabelsFormat(), QStringLiteral("1"));
        QVERIFY(outside[0]->pointLabelsVisible());
        QCOMPARE(outside[0]->at(0).x(), doubled.expected);
        QCOMPARE(outside[0]->at(0).y(), *doubled.ratio);
        QCOMPARE(seriesNamed<QScatterSeries>(view, "unit").size(), 4);
        // The target and both pairs of exact Poisson limits; no widened
        // limits with fewer than 10 units.
        const auto target = seriesNamed<QLineSeries>(view, "target");
        QCOMPARE(target.size(), 1);
        QCOMPARE(target[0]->at(0).y(), 1.0);
        for (const char* name : {"limit95Upper", "limit95Lower", "limit998Upper", "limit998Lower"})
            QVERIFY2(seriesNamed<QLineSeries>(view, name).size() == 1, name);
        // The two pairs of limits tell apart in the legend too: drawn as their
        // lines are, in styles that differ.
        QLegend* legend = view->chart()->legend();
        QCOMPARE(legend->markerShape(), QLegend::MarkerShapeFromSeries);
        const auto limit95 = seriesNamed<QLineSeries>(view, "limit95Upper")[0];
        const auto limit998 = seriesNamed<QLineSeries>(view, "limit998Upper")[0];
        QVERIFY(limit95->pen().style() != limit998->pen().style());
        for (QLineSeries* limit : {limit95, limit998})
            QVERIFY(legend->markers(limit).value(0) && legend->markers(limit)[0]->isVisible());
        QVERIFY(seriesNamed<QLineSeries>(view, "overdispersedUpper").isEmpty());
        // The limits drawn are the exact Poisson ones: at E = 100 the upper
        // 95% limit is (r - a) / E with r = 120 and a from scipy's
        // poisson.cdf, 1.195809; the curve ends at the plot's right edge.
        QVERIFY(std::fabs(funnelLimit(100, kFunnel95Upper) - 1.195809) < 1e-5);
        const QPointF end = seriesNamed<QLineSeries>(view, "limit95Upper")[0]->points().last();
        QCOMPARE(end.y(), funnelLimit(end.x(), kFunnel95Upper));
        QVERIFY(end.x() > doubled.expected);

        // In words beside the plot, the flagged unit first.
        const QStringList lines =
            child<QPlainTextEdit>("funnelFigures")->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines[1], QStringLiteral("1 unit outside the limits, listed first."));
        QVERIFY2(lines[2].startsWith(
                     QStringLiteral("1. ") + files[2] +
                     QStringLiteral(": n %1, observed %2,").arg(doubled.n).arg(doubled.observed)) &&
                     lines[2].contains("outside the 99.8% limits"),
                 qPrintable(lines[2]));
        QVERIFY(lines.last().startsWith("Overdispersion not measured: it needs at least 10 units"));

        // Export Chart exports the plot in view, its figures in words with it.
        const QString svg = dir.filePath(QStringLiteral("funnel.svg"));
        dialogs.saveAnswers.push_back(svg);
        window->findChild<QAction*>("actionExportSvg")->trigger();
        QVERIFY(dialogs.saveRequests.back().suggestedPath.endsWith(
            "funnel-" + modelFileKey(Model::PPossumMortality) + ".svg"));
        QFile drawing(svg);
        QVERIFY(drawing.open(QIODevice::ReadOnly));
        const QString drawn = QString::fromUtf8(drawing.readAll());
        QVERIFY(drawn.contains("<title>Funnel plot, P-POSSUM mortality, all dates</title>"));
        QVERIFY(drawn.contains("1 unit outside the limits, listed first."));

        // The units export as CSV in the same order, with the model.
        const QString csv = dir.filePath(QStringLiteral("units.csv"));
        dialogs.saveAnswers.push_back(csv);
        window->findChild<QAction*>("actionCsvUnits")->trigger();
        QFile written(csv);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(written.readAll()).split(QStringLiteral("\r\n"));
        QVERIFY(rows[0].endsWith("Outside 95% limits,Outside 99.8% limits,Outside widened limits"));
        QVERIFY2(rows[1].startsWith(QStringLiteral("all dates,%1,%2,%3,%4,")
                                        .arg(titleOf(Model::PPossumMortality), files[2])
                                        .arg(doubled.n)
                                        .arg(doubled.observed)),
                 qPrintable(rows[1]));
        QVERIFY(rows[1].endsWith(",yes,yes,no"));
        QCOMPARE(view->accessibleDescription(), lines.join(QLatin1Char('\n')));
    }

    void theReportHasAFunnelPagePerModelWithItsUnitsInWords() {
        const QStringList files = fiveUnitsTheThirdWithDoubledOdds();
        open(files);
        const QString pdf = dir.filePath(QStringLiteral("units.pdf"));
        dialogs.saveAnswers.push_back(pdf);
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        // The page plan: title and summaries, calibration and the models
        // compared, four pages per model (the fourth its funnel plot), three
        // of method notes.
        QCOMPARE(auditwindow::testing::pdfPages(pdf), 2 + 4 * 8 + 3);
        const QStringList pages =
            auditwindow::testing::pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        const QString heading = titleOf(Model::PPossumMortality) + ": units on a funnel plot";
        const auto page = std::find_if(pages.begin(), pages.end(), [&](const QString& text) {
            return text.trimmed().startsWith(heading);
        });
        QVERIFY(page != pages.end());
        // The figures beside the plot: the flagged unit first.
        const QString words = page->simplified();
        QVERIFY(words.contains("1 unit outside the limits, listed first."));
        const qsizetype doubled = words.indexOf(files[2] + ": n ");
        QVERIFY(doubled >= 0);
        for (const QString& other : {files[0], files[1], files[3], files[4]})
            QVERIFY(words.indexOf(other + ": n ") > doubled);
    }

    void theFunnelPlotFollowsADarkPalette() {
        const QPalette light = QApplication::palette();
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);
        const QStringList files{generate(QStringLiteral("darkA.csv"), 300, 500, 1.0),
                                generate(QStringLiteral("darkB.csv"), 300, 501, 2.0)};
        open(files);
        QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
        auto* view = child<QChartView>("funnelChart");
        QTRY_VERIFY(view->chart() && !view->chart()->series().isEmpty());
        QCOMPARE(view->chart()->theme(), QChart::ChartThemeDark);
        // The units' names read on the dark plot.
        const QColor background = view->chart()->backgroundBrush().color();
        int labelled = 0;
        for (QAbstractSeries* series : view->chart()->series())
            if (auto* unit = qobject_cast<QScatterSeries*>(series);
                unit && unit->pointLabelsVisible()) {
                ++labelled;
                QVERIFY(std::abs(unit->pointLabelsColor().lightness() - background.lightness()) >
                        100);
            }
        QCOMPARE(labelled, 2);
        QApplication::setPalette(light);
        QTRY_COMPARE(view->chart()->theme(), QChart::ChartThemeLight);
    }

    void unitsSpreadBeyondChanceGetWidenedLimits() {
        QStringList files;
        const double multipliers[] = {0.4, 0.6, 0.8, 1.0, 1.0, 1.2, 1.5, 2.0, 2.5, 3.0, 0.5};
        for (int u = 0; u < 11; ++u)
            files << generate(QStringLiteral("spread%1.csv").arg(u), 400,
                              static_cast<std::uint64_t>(300 + u), multipliers[u]);
        open(files);
        const AnalysisResult expected = engineFigures(files);
        const ModelResult& m = expected.models[indexOf(expected, Model::PPossumMortality)];
        QVERIFY(m.funnel.overdispersionApplied);
        child<QTabWidget>("pages")->setCurrentWidget(child<QWidget>("funnelPage"));
        auto* view = child<QChartView>("funnelChart");
        QTRY_VERIFY(view->chart() && !view->chart()->series().isEmpty());
        QCOMPARE(seriesNamed<QLineSeries>(view, "overdispersedUpper").size(), 1);
        QCOMPARE(seriesNamed<QLineSeries>(view, "overdispersedLower").size(), 1);
        // 1 + 3.090 sqrt(phi / E) at the curve's last point.
        const QPointF last =
            seriesNamed<QLineSeries>(view, "overdispersedUpper")[0]->points().last();
        QVERIFY(std::fabs(last.y() - (1 + 3.090232 * std::sqrt(*m.funnel.phi / last.x()))) < 1e-6);
        QVERIFY(child<QPlainTextEdit>("funnelFigures")
                    ->toPlainText()
                    .contains(QStringLiteral("Overdispersion phi %1: the units spread more")
                                  .arg(NumberFormat().number(*m.funnel.phi, 2))));
    }
};

QTEST_MAIN(ValidationTest)
#include "validation_test.moc"
