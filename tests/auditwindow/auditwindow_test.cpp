// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "auditgenerator.h"
#include "auditlines.h"
#include "auditwindow/auditcharts.h"
#include "auditwindow/auditwindow.h"
#include "auditwindow/datefield.h"
#include "auditwindow/filterbar.h"
#include "auditwindowtesting.h"
#include "fakeplatform.h"
#include "mnemonics.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QBarSet>
#include <QCalendarWidget>
#include <QCategoryAxis>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QValueAxis>

#include <cmath>
#include <memory>

#include <sys/stat.h>

using namespace caldrin;
using namespace caldrin::audit;
using namespace caldrin::auditwindow;
using caldrin::auditwindow::testing::FakeAuditDialogs;
namespace generated = caldrin::audit::testing;
namespace windowtesting = caldrin::auditwindow::testing;
using caldrin::testing::FakePlatform;
using windowtesting::testSettings;
using windowtesting::titleOf;

namespace {

// The engine's own figures for what the window should show.
AnalysisResult engineFigures(const QStringList& paths, std::optional<Date> from = {},
                             std::optional<Date> to = {},
                             std::size_t seriesPoints = kChartSeriesPoints) {
    AnalysisOptions options = windowtesting::testSettings().analysis;
    options.maxSeriesPoints = seriesPoints;
    options.from = from;
    options.to = to;
    return windowtesting::engineFigures(paths, options);
}

const ModelResult& resultOf(const AnalysisResult& result, Model model) {
    for (const ModelResult& m : result.models)
        if (m.model == model)
            return m;
    qFatal("model missing from the engine's result");
}

template <typename Series> Series* seriesNamed(QChartView* view, const QString& name) {
    for (QAbstractSeries* series : view->chart()->series())
        if (series->objectName() == name)
            return qobject_cast<Series*>(series);
    return nullptr;
}

} // namespace

class AuditWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePlatform platform;
    FakeAuditDialogs dialogs;
    std::unique_ptr<AuditWindow> window;
    QString mainFile;

    QString generate(const QString& name, const generated::GeneratedAudit& options) {
        const QString path = dir.filePath(name);
        if (!generated::writeAuditFile(QFile::encodeName(path).toStdString(), options))
            qFatal("cannot write the generated audit file");
        return path;
    }

    void startWindow() {
        window = std::make_unique<AuditWindow>(platform, dialogs, testSettings());
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void waitForFigures() {
        QTRY_VERIFY_WITH_TIMEOUT(
            !window->isBusy() && window->shownLoad() && window->shownLoad()->complete, 120000);
    }

    // Opens files through File > Open (Ctrl+O), as a user would.
    void openWithKeyboard(const QStringList& paths) {
        dialogs.openAnswers.push_back(paths);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        waitForFigures();
    }

    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }
    // Types `text` into a date field and presses Enter, as a user would.
    static void typeDate(DateField* field, const QString& text) {
        QLineEdit* edit = field->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // A chart as the user brings it into view: Charts page, then its tab.
    QChartView* chartShown(const char* name) {
        auto* view = child<QChartView>(name);
        child<QTabWidget>("pages")->setCurrentIndex(1);
        child<QTabWidget>("chartTabs")->setCurrentWidget(view);
        return view;
    }
    QString cell(const char* table, int row, int column) {
        return child<QTableView>(table)->model()->index(row, column).data().toString();
    }
    int rowOf(const char* table, const QString& firstCell) {
        const QAbstractItemModel* model = child<QTableView>(table)->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == firstCell)
                return row;
        return -1;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("CaldrinTest"));
        QCoreApplication::setApplicationName(QStringLiteral("AuditWindowTest"));
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("settings")));
        generated::GeneratedAudit options;
        options.records = 4000;
        options.seed = 7;
        options.oddsMultiplier = 1.8; // outcomes worse than predicted: rows to mark
        mainFile = generate(QStringLiteral("audit.csv"), options);
    }

    void init() {
        QSettings().clear();
        platform = FakePlatform();
        dialogs = FakeAuditDialogs();
    }
    void cleanup() { window.reset(); }

    void showsTheEngineFiguresInTablesAndCharts() {
        startWindow();
        QSignalSpy shown(window.get(), &AuditWindow::figuresShown);
        openWithKeyboard({mainFile});
        // Tables came first, then again with the simulated control limits.
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0][0].toBool(), false);
        QCOMPARE(dialogs.openFolders.size(), 1u);

        const AnalysisResult expected = engineFigures({mainFile});
        int marked = 0;
        for (const ModelResult& m : expected.models) {
            const char* table =
                m.outcome == Outcome::Mortality ? "mortalityTable" : "morbidityTable";
            const int row = rowOf(table, titleOf(m.model));
            QVERIFY2(row >= 0, qPrintable(titleOf(m.model)));
            QCOMPARE(cell(table, row, 1), QString::number(m.overall.n));
            QCOMPARE(cell(table, row, 2), QString::number(m.overall.observed));
            QCOMPARE(cell(table, row, 3), QString::number(m.overall.expected, 'f', 2));
            QVERIFY(
                cell(table, row, 4).startsWith(QString::number(*m.overall.ratio, 'f', 2) + " ("));
            QVERIFY(
                cell(table, row, 5).startsWith(QString::number(*m.discrimination.auroc, 'f', 3)));
            QCOMPARE(cell(table, row, 7), QString::number(*m.calibration.slope, 'f', 2));
            QCOMPARE(cell(table, row, 8), QString::number(*m.brier, 'f', 4));

            const QString events = m.outcome == Outcome::Mortality ? "deaths" : "complications";
            const QString oe = QStringLiteral("O:E %1 (%2\u2013%3)")
                                   .arg(QString::number(*m.overall.ratio, 'f', 2),
                                        QString::number(m.overall.interval->lower, 'f', 2),
                                        QString::number(m.overall.interval->upper, 'f', 2));
            const QModelIndex finding = child<QTableView>(table)->model()->index(row, 9);
            if (m.overall.interval->lower > 1 || m.overall.interval->upper < 1) {
                ++marked;
                const QString words = m.overall.interval->lower > 1 ? "more %1 than expected: "
                                                                    : "fewer %1 than expected: ";
                QCOMPARE(finding.data().toString(), words.arg(events) + oe);
                // Marked by more than colour: bold type as well as the words.
                QVERIFY(finding.data(Qt::FontRole).value<QFont>().bold());
                QVERIFY(finding.data(Qt::BackgroundRole).isValid());
            } else {
                QCOMPARE(finding.data().toString(), "no clear difference from expected: " + oe);
                QVERIFY(!finding.data(Qt::FontRole).isValid());
            }
        }
        QVERIFY(marked > 0);
        // The table's figures are there as text for assistive technology.
        QTableView* mortality = child<QTableView>("mortalityTable");
        QCOMPARE(mortality->accessibleName(), QStringLiteral("Mortality summary"));
        QVERIFY(mortality->accessibleDescription().contains("more deaths than expected"));

        // Charts of the model picked by default.
        const ModelResult& p = resultOf(expected, Model::PPossumMortality);
        QCOMPARE(child<QComboBox>("modelPicker")->currentText(), titleOf(Model::PPossumMortality));
        auto* roc = seriesNamed<QLineSeries>(chartShown("rocChart"), "roc");
        QVERIFY(roc);
        QCOMPARE(roc->count(), static_cast<int>(p.roc.size()));
        for (int i = 0; i < roc->count(); i += 97) {
            QCOMPARE(roc->at(i).x(), p.roc[static_cast<std::size_t>(i)].falsePositiveRate);
            QCOMPARE(roc->at(i).y(), p.roc[static_cast<std::size_t>(i)].truePositiveRate);
        }
        QChartView* cusumView = chartShown("cusumChart");
        auto* alarms = seriesNamed<QScatterSeries>(cusumView, "signals");
        QVERIFY(!p.cusum.signals.empty());
        QCOMPARE(alarms->count(), static_cast<int>(p.cusum.signals.size()));
        for (int i = 0; i < alarms->count(); ++i)
            QCOMPARE(alarms->at(i).x(),
                     static_cast<double>(p.cusum.signals[static_cast<std::size_t>(i)].position));
        auto* limit = seriesNamed<QLineSeries>(cusumView, "limit");
        QVERIFY(limit);
        QCOMPARE(limit->at(0).y(), *p.cusum.limit);
        auto* vlad = seriesNamed<QLineSeries>(chartShown("vladChart"), "vlad");
        QCOMPARE(vlad->at(vlad->count() - 1).y(), p.vlad);
        QCOMPARE(vlad->count(), static_cast<int>(p.series.size()) + 1);

        auto* reliable = seriesNamed<QScatterSeries>(chartShown("calibrationChart"), "observed");
        auto* unreliable =
            seriesNamed<QScatterSeries>(chartShown("calibrationChart"), "observedUnreliable");
        int bands = 0;
        for (const RiskBand& band : p.bands)
            bands += band.figures.n > 0;
        QCOMPARE(reliable->count() + unreliable->count(), bands);
        QCOMPARE(reliable->at(0).y(),
                 static_cast<double>(p.bands[0].figures.observed) / p.bands[0].figures.n);

        auto* histogram = seriesNamed<QStackedBarSeries>(chartShown("histogramChart"), "histogram");
        double withEvent = 0;
        double all = 0;
        for (QBarSet* set : histogram->barSets()) {
            all += set->sum();
            if (set->objectName() == "withEvent")
                withEvent = set->sum();
        }
        QCOMPARE(withEvent, static_cast<double>(p.overall.observed));
        QCOMPARE(all, static_cast<double>(p.overall.n));

        // The CUSUM's figures in words, beside the chart and for assistive technology.
        child<QTabWidget>("chartTabs")->setCurrentWidget(cusumView);
        const QString words = child<QPlainTextEdit>("chartFigures")->toPlainText();
        QVERIFY(words.contains(QStringLiteral("Signal at episode %1, dated %2")
                                   .arg(p.cusum.signals[0].position)
                                   .arg(QString::fromStdString(p.cusum.signals[0].date))));
        QCOMPARE(cusumView->accessibleDescription(), words);
        QVERIFY(cusumView->accessibleName().contains("CUSUM"));

        // Another model, picked from the keyboard, redraws the charts and the band table.
        QComboBox* picker = child<QComboBox>("modelPicker");
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Up);
        QCOMPARE(picker->currentText(), titleOf(Model::PossumMortality));
        const ModelResult& possum = resultOf(expected, Model::PossumMortality);
        QCOMPARE(seriesNamed<QLineSeries>(chartShown("rocChart"), "roc")->count(),
                 static_cast<int>(possum.roc.size()));
        QCOMPARE(cell("bandTable", 0, 1), QString::number(possum.bands[0].figures.n));
    }

    void dateRangeFilterAppliesToEveryTableAndChart() {
        startWindow();
        openWithKeyboard({mainFile});
        QCheckBox* range = child<QCheckBox>("rangeCheck");
        auto* from = child<DateField>("fromDate");
        auto* to = child<DateField>("toDate");
        // The range starts as the file's dates (2021 to 2023).
        QCOMPARE(from->date().year(), 2021);
        QCOMPARE(to->date().year(), 2023);
        QVERIFY(!from->isEnabled());

        QSignalSpy shown(window.get(), &AuditWindow::figuresShown);
        range->setFocus();
        QTest::keyClick(range, Qt::Key_Space);
        QVERIFY(range->isChecked());
        QVERIFY(from->isEnabled());
        typeDate(from, "1 Jan 2022");
        typeDate(to, "31 Dec 2022");
        QCOMPARE(from->date(), QDate(2022, 1, 1));
        QCOMPARE(to->date(), QDate(2022, 12, 31));
        // The picker names the period the dates make.
        QCOMPARE(child<QComboBox>("periodPicker")->currentText(), QStringLiteral("2022"));
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty() && shown.last()[0].toBool(), 60000);

        const AnalysisResult expected =
            engineFigures({mainFile}, Date{2022, 1, 1}, Date{2022, 12, 31});
        QVERIFY(expected.inDateRange < expected.episodes);
        const ModelResult& p = resultOf(expected, Model::PPossumMortality);
        const int row = rowOf("mortalityTable", titleOf(Model::PPossumMortality));
        QCOMPARE(cell("mortalityTable", row, 1), QString::number(p.overall.n));
        QCOMPARE(cell("mortalityTable", row, 2), QString::number(p.overall.observed));
        QCOMPARE(cell("morbidityTable", 0, 1), QString::number(expected.models[0].overall.n));
        QCOMPARE(cell("bandTable", 2, 1), QString::number(p.bands[2].figures.n));
        auto* cusum = seriesNamed<QLineSeries>(chartShown("cusumChart"), "cusum");
        QCOMPARE(cusum->at(cusum->count() - 1).x(), static_cast<double>(p.overall.n));
        QVERIFY(child<QChartView>("cusumChart")
                    ->chart()
                    ->title()
                    .endsWith(", 1 Jan 2022 to 31 Dec 2022"));
        QCOMPARE(seriesNamed<QLineSeries>(chartShown("rocChart"), "roc")->count(),
                 static_cast<int>(p.roc.size()));
        QVERIFY(child<QLabel>("summaryLabel")->text().contains("1 Jan 2022 to 31 Dec 2022"));
        QVERIFY(child<QTableView>("problemTable")
                    ->model()
                    ->match(child<QTableView>("problemTable")->model()->index(0, 2),
                            Qt::DisplayRole,
                            QStringLiteral("%1 episodes outside the date range")
                                .arg(expected.outsideDateRange))
                    .size() == 1);

        // Unticking the range brings every episode back.
        QTest::keyClick(range, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy() &&
                                     window->shownLoad()->result.inDateRange == expected.episodes,
                                 60000);
    }

    void everyFindingCanBeReadInFull() {
        startWindow();
        openWithKeyboard({mainFile});
        auto* page = child<QScrollArea>("summaryPage");
        // Scrolled to as a user would, the whole of `area` (in `widget`) is in view.
        auto inView = [page](QWidget* widget, const QRect& area) {
            const QRect onPage(widget->mapTo(page->widget(), area.topLeft()), area.size());
            page->ensureVisible(onPage.center().x(), onPage.center().y(), onPage.width() / 2 + 1,
                                onPage.height() / 2 + 1);
            const QRect shown(page->widget()->mapTo(page->viewport(), onPage.topLeft()),
                              onPage.size());
            return page->viewport()->rect().contains(shown);
        };
        // The default size, then a small screen where the page scrolls.
        for (const QSize size : {QSize(1100, 760), QSize(800, 600)}) {
            window->resize(size);
            // Rows that wrap anew change the tables' heights, and so the page's layout.
            for (int pass = 0; pass < 3; ++pass) {
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents();
            }
            QCOMPARE(window->size(), size);
            const QString at = QStringLiteral("at %1 px: ").arg(size.width());
            // The summaries: each model's finding in full, in words.
            for (const char* name : {"morbidity", "mortality"}) {
                QTableView* table = child<QTableView>(QByteArray(name) + "Table");
                QLabel* findings = child<QLabel>(QByteArray(name) + "Findings");
                QVERIFY(findings->heightForWidth(findings->width()) <= findings->height());
                QVERIFY2(inView(findings, findings->rect()), qPrintable(at + name));
                for (int row = 0; row < table->model()->rowCount(); ++row) {
                    const QString finding = table->model()->index(row, 9).data().toString();
                    QVERIFY2(findings->text().contains(
                                 (cell(QByteArray(name) + "Table", row, 0) + ": " + finding)
                                     .toHtmlEscaped()),
                             qPrintable(at + finding));
                }
                QVERIFY2(inView(table, table->rect()) || size.width() < 1100,
                         qPrintable(at + name));
            }
            // The risk bands: the finding wraps in its column.
            QTableView* view = child<QTableView>("bandTable");
            const int margin =
                view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
            for (int row = 0; row < view->model()->rowCount(); ++row) {
                const QModelIndex finding = view->model()->index(row, 5);
                const QString text = finding.data().toString();
                const QRect cell = view->visualRect(finding);
                const QVariant bold = finding.data(Qt::FontRole);
                const QFont font = bold.isValid() ? bold.value<QFont>() : view->font();
                const QRect needed = QFontMetrics(font).boundingRect(
                    cell.adjusted(margin, 0, -margin, 0), Qt::TextWordWrap, text);
                QVERIFY2(needed.height() <= cell.height() &&
                             needed.width() <= cell.width() - 2 * margin,
                         qPrintable(at + text));
                QVERIFY(view->viewport()->rect().contains(cell));
                QVERIFY2(inView(view->viewport(), cell), qPrintable(at + text));
            }
            // At the default size nothing needs scrolling sideways.
            if (size.width() == 1100)
                QCOMPARE(page->horizontalScrollBar()->maximum(), 0);
        }
    }

    void typedDatesAreTakenExactlyOrRefused() {
        startWindow();
        openWithKeyboard({mainFile});
        QCheckBox* range = child<QCheckBox>("rangeCheck");
        range->setFocus();
        QTest::keyClick(range, Qt::Key_Space);
        auto* from = child<DateField>("fromDate");
        auto* to = child<DateField>("toDate");
        QLabel* refusal = child<QLabel>("dateRefusal");

        struct Typed {
            const char* text;
            QDate date; // null: refused
        };
        const Typed cases[] = {
            {"30 Sep 2023", QDate(2023, 9, 30)},
            {"2023-06-15", QDate(2023, 6, 15)},
            {"15/06/2023", QDate(2023, 6, 15)},
            {"1 September 2023", QDate(2023, 9, 1)},
            {"30 sept 2023", QDate(2023, 9, 30)},
            {"31 Sep 2023", {}},
            {"31/02/2023", {}},
            {"30 Se 2023", {}},
            {"next Tuesday", {}},
            {"30 Sep 2020", {}}, // before the start
        };
        for (const Typed& typed : cases) {
            const QDate before = to->date();
            typeDate(to, typed.text);
            if (typed.date.isValid()) {
                QCOMPARE(to->date(), typed.date);
                QVERIFY(refusal->isHidden());
            } else {
                QCOMPARE(to->date(), before);
                QVERIFY2(refusal->isVisible(), typed.text);
                QVERIFY(refusal->text().contains(typed.text));
            }
            QCOMPARE(to->lineEdit()->text(), DateField::shown(to->date()));
        }
        QVERIFY(refusal->text().contains("before the start of the range"));

        // F4 and Alt+Down open the calendar; a day picked there by keyboard is taken.
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_F4), QKeyCombination(Qt::AltModifier, Qt::Key_Down)}) {
            typeDate(to, "30 Sep 2023");
            QTest::keyClick(to->lineEdit(), key.key(), key.keyboardModifiers());
            QTRY_VERIFY(to->calendar()->isVisible());
            QWidget* days = QApplication::focusWidget();
            QVERIFY(days && to->calendar()->isAncestorOf(days));
            QTest::keyClick(days, Qt::Key_Left);
            QTest::keyClick(days, Qt::Key_Return);
            QTRY_VERIFY(!to->calendar()->isVisible());
            QCOMPARE(to->date(), QDate(2023, 9, 29));
        }

        // Common periods in one step, from the keyboard.
        QComboBox* period = child<QComboBox>("periodPicker");
        auto pick = [&](const QString& name) {
            period->setFocus();
            for (int tries = 0; period->currentText() != name && tries < 40; ++tries)
                QTest::keyClick(period, Qt::Key_Down);
            QCOMPARE(period->currentText(), name);
        };
        pick(QStringLiteral("Q3 2023 (Jul\u2013Sep)"));
        QVERIFY(range->isChecked());
        QCOMPARE(from->date(), QDate(2023, 7, 1));
        QCOMPARE(to->date(), QDate(2023, 9, 30));
        const AnalysisResult quarter =
            engineFigures({mainFile}, Date{2023, 7, 1}, Date{2023, 9, 30});
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy() && window->shownLoad()->complete &&
                                     window->shownLoad()->result.inDateRange == quarter.inDateRange,
                                 60000);
        period->setCurrentIndex(0);
        pick(QStringLiteral("2022"));
        QCOMPARE(from->date(), QDate(2022, 1, 1));
        QCOMPARE(to->date(), QDate(2022, 12, 31));
        period->setCurrentIndex(0);
        pick(period->itemText(1));
        QVERIFY(period->currentText().startsWith("Last 12 months"));
        QCOMPARE(from->date(), to->date().addYears(-1).addDays(1));
        period->setFocus();
        for (int tries = 0; period->currentIndex() != 0 && tries < 40; ++tries)
            QTest::keyClick(period, Qt::Key_Up);
        QCOMPARE(period->currentText(), QStringLiteral("All dates"));
        QVERIFY(!range->isChecked());
    }

    void exportWorksFromEveryPartOfTheWindow() {
        startWindow();
        openWithKeyboard({mainFile});
        QCheckBox* range = child<QCheckBox>("rangeCheck");
        range->setFocus();
        QTest::keyClick(range, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy() && window->shownLoad()->complete, 60000);
        // Where the user is after setting the range, and the boxes of text.
        QList<QWidget*> places{child<DateField>("fromDate")->lineEdit(),
                               child<DateField>("toDate")->lineEdit()};
        child<QTabWidget>("pages")->setCurrentIndex(1);
        places << child<QPlainTextEdit>("chartFigures");
        for (QWidget* place : places) {
            const QString pdf = dir.filePath(place->objectName() + "-export.pdf");
            dialogs.saveAnswers.push_back(pdf);
            place->setFocus();
            QTest::keyClick(place, Qt::Key_E, Qt::ControlModifier);
            // Written once the analysis of the range just set is in.
            QTRY_VERIFY2_WITH_TIMEOUT(QFileInfo::exists(pdf), qPrintable(place->accessibleName()),
                                      60000);
        }
    }

    // Ctrl+E with the end of the range still being typed, and Ctrl+P just
    // after a period is picked: each waits for the analysis of the range on
    // screen, and an analysis finishing behind the save dialog changes
    // nothing in the report being written.
    void exportAndPrintDuringAnAnalysisUseTheRangeOnScreen() {
        startWindow();
        openWithKeyboard({mainFile});
        QCheckBox* range = child<QCheckBox>("rangeCheck");
        range->setFocus();
        QTest::keyClick(range, Qt::Key_Space);
        typeDate(child<DateField>("fromDate"), QStringLiteral("1 Jul 2023"));
        QLineEdit* to = child<DateField>("toDate")->lineEdit();
        to->setFocus();
        to->selectAll();
        QTest::keyClicks(to, QStringLiteral("30 Sep 2023"));

        const QString pdf = dir.filePath("quarter.pdf");
        dialogs.saveAnswers.push_back(pdf);
        const AuditLoad* exported = nullptr;
        bool exportedComplete = false;
        dialogs.whileSaving = [&] {
            exported = window->shownLoad();
            exportedComplete = exported->complete;
            // Another range analysed while the dialog is open.
            typeDate(child<DateField>("fromDate"), QStringLiteral("1 Aug 2023"));
            QTRY_VERIFY_WITH_TIMEOUT(window->shownLoad() != exported && !window->isBusy() &&
                                         window->shownLoad()->complete,
                                     60000);
        };
        QTest::keyClick(to, Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(pdf), 60000);
        QCOMPARE(dialogs.saveRequests.size(), 1u);
        QVERIFY2(dialogs.saveRequests[0].suggestedPath.endsWith(
                     "audit-report-2023-07-01-to-2023-09-30.pdf"),
                 qPrintable(dialogs.saveRequests[0].suggestedPath));
        QVERIFY(exportedComplete);
        const QString text = windowtesting::pdfText(pdf);
        const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QVERIFY(!pages.isEmpty());
        for (const QString& page : pages)
            QVERIFY2(page.contains("Audit report, 1 Jul 2023 to 30 Sep 2023"), qPrintable(page));
        QVERIFY(!text.contains("not yet computed"));
        const AnalysisResult quarter =
            engineFigures({mainFile}, Date{2023, 7, 1}, Date{2023, 9, 30});
        for (const ModelResult& m : quarter.models)
            QVERIFY2(pages[0].contains(
                         NumberFormat().withInterval(*m.overall.ratio, m.overall.interval, 2)),
                     qPrintable(titleOf(m.model)));

        // A period picked, then Ctrl+P at once.
        const QString printed = dir.filePath("printed.pdf");
        platform.printAnswers.push_back(printed);
        auto* period = child<QComboBox>("periodPicker");
        period->setFocus();
        for (int tries = 0; period->currentText() != QStringLiteral("2022") && tries < 40; ++tries)
            QTest::keyClick(period, Qt::Key_Down);
        QTest::keyClick(period, Qt::Key_P, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(printed), 60000);
        const QString printedText = windowtesting::pdfText(printed);
        QVERIFY(printedText.contains("Audit report, 1 Jan 2022 to 31 Dec 2022"));
        QVERIFY(!printedText.contains("not yet computed"));
        QVERIFY(platform.messages.empty());
    }

    // An export asked for while files are read waits; Esc drops it with the
    // reading, and closing the window in the middle of a read is safe.
    void aWaitingExportEndsWithItsJobAndClosingMidReadIsSafe() {
        startWindow();
        openWithKeyboard({mainFile});
        const QString pipe = dir.filePath("slow.csv");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        window->openFiles({pipe});
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(dialogs.saveRequests.empty());
        QTRY_VERIFY(child<QLabel>("statusText")->text().contains("the report is exported"));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isBusy());
        QVERIFY(child<QLabel>("statusText")->text().startsWith("Cancelled: nothing was exported"));
        writer.close();
        // The cancelled export never comes back with the next figures.
        openWithKeyboard({mainFile});
        QVERIFY(dialogs.saveRequests.empty());

        // Closed while reading: the job is dropped, nothing is shown or written.
        QFile::remove(pipe);
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        window->openFiles({pipe});
        QVERIFY(writer.open(QIODevice::WriteOnly));
        generated::GeneratedAudit some;
        some.records = 2000;
        writer.write(QByteArray::fromStdString(generated::generateAuditText(some)));
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        window->close();
        writer.close();
        window.reset();
        QVERIFY(dialogs.saveRequests.empty());
    }

    void filesThatAreNotAuditFilesAreSaidSoInOneMessage() {
        generated::GeneratedAudit few;
        few.records = 20;
        const QString audit = QString::fromStdString(generated::generateAuditText(few));
        const QByteArray header = audit.section(QLatin1Char('\n'), 0, 0).toUtf8() + '\n';
        QByteArray utf16("\xff\xfe", 2);
        for (const QChar c : audit)
            utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        QByteArray binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        binary += QByteArray(400, '\x01') + audit.toUtf8();
        struct Kind {
            const char* name;
            QByteArray bytes;
            const char* says;
        };
        const Kind kinds[] = {
            {"empty.csv", {}, "the file is empty"},
            {"blank.csv", "\r\n\r\n\r\n", "only blank lines"},
            {"header.csv", header, "column names but no records"},
            {"utf16.csv", utf16, "UTF-16 text"},
            {"picture.csv", binary, "not text"},
            {"other.csv", "day,count\r\n1,2\r\n2,5\r\n", "not an audit data file"},
        };
        startWindow();
        for (const Kind& kind : kinds) {
            const QString path = dir.filePath(kind.name);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kind.bytes);
            file.close();
            platform.messages.clear();
            dialogs.openAnswers.push_back({path});
            QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
            QTRY_VERIFY_WITH_TIMEOUT(!platform.messages.empty(), 30000);
            QCOMPARE(platform.messages.size(), 1u);
            const QStringList lines = platform.messages[0].text.split('\n');
            QCOMPARE(lines.size(), 2);
            // UTF-16 and binary files cannot be read as text at all.
            QVERIFY2(lines[0] == QStringLiteral("None of the files holds audit records:") ||
                         lines[0] == QStringLiteral("None of the files could be read:"),
                     qPrintable(lines[0]));
            QVERIFY2(lines[1].startsWith(path + ": ") && lines[1].contains(kind.says),
                     qPrintable(lines[1]));
            QVERIFY(!window->isBusy());
        }
        // Beside an audit file, such a file is one row of the problems, not
        // one per line, and the summary and the status line count it.
        openWithKeyboard({dir.filePath("utf16.csv"), dir.filePath("other.csv"),
                          dir.filePath("picture.csv"), dir.filePath("empty.csv"), mainFile});
        QCOMPARE(platform.messages.size(), 1u); // only the one before
        for (const char* name : {"summaryLabel", "statusText"}) {
            const QString text = child<QLabel>(name)->text();
            QVERIFY2(text.contains("4 files refused (see Problems and exclusions)"),
                     qPrintable(text));
        }
        const QAbstractItemModel* table = child<QTableView>("problemTable")->model();
        for (const auto& [name, says] : {std::pair{"utf16.csv", "UTF-16 text"},
                                         std::pair{"other.csv", "not an audit data file"}}) {
            int rowsOfTheFile = 0;
            for (int row = 0; row < table->rowCount(); ++row)
                if (table->index(row, 0).data().toString().endsWith(name)) {
                    ++rowsOfTheFile;
                    QVERIFY(table->index(row, 2).data().toString().contains(says));
                }
            QCOMPARE(rowsOfTheFile, 1);
        }
    }

    void oneEpisodeIsSaidInTheSingular() {
        generated::GeneratedAudit one;
        one.records = 1;
        startWindow();
        openWithKeyboard({generate(QStringLiteral("one.csv"), one)});
        const QString status = child<QLabel>("statusText")->text();
        QVERIFY2(status.startsWith("1 episode from 1 file;"), qPrintable(status));
        QVERIFY(child<QLabel>("summaryLabel")->text().contains("1 record read"));
        QVERIFY(child<QLabel>("summaryLabel")->text().contains(", 1 episode;"));
    }

    void longSeriesKeepTheirShapeInTheCharts() {
        generated::GeneratedAudit options;
        options.records = 30000;
        options.seed = 3;
        options.oddsMultiplier = 1.8;
        const QString path = generate(QStringLiteral("long.csv"), options);
        startWindow();
        openWithKeyboard({path});
        const AnalysisResult unthinned = engineFigures({path}, {}, {}, 1000000);
        const ModelResult& all = resultOf(unthinned, Model::PPossumMortality);
        const std::uint64_t n = all.overall.n;
        const std::uint64_t stretch = seriesStretch(n, kChartSeriesPoints);
        QVERIFY(stretch > 1); // the window thins this series
        const std::size_t stretches = (n + stretch - 1) / stretch;

        for (const char* name : {"cusum", "vlad"}) {
            QChartView* view = chartShown(name == QByteArray("cusum") ? "cusumChart" : "vladChart");
            auto* line = seriesNamed<QLineSeries>(view, name);
            QVERIFY(line->count() < static_cast<int>(n) / 2);
            // One stretch of episodes or more per pixel column of the plot.
            QVERIFY(view->chart()->plotArea().width() <= static_cast<qreal>(stretches));
            std::vector<double> low(stretches, 1e300), high(stretches, -1e300);
            std::vector<double> drawnLow = low, drawnHigh = high;
            for (const TimePoint& p : all.series) {
                const double v = name == QByteArray("cusum") ? p.cusum : p.vlad;
                const std::size_t s = (p.position - 1) / stretch;
                low[s] = std::min(low[s], v);
                high[s] = std::max(high[s], v);
            }
            for (int i = 1; i < line->count(); ++i) { // after the start at (0, 0)
                const QPointF p = line->at(i);
                const auto s = static_cast<std::size_t>((p.x() - 1) / static_cast<double>(stretch));
                drawnLow[s] = std::min(drawnLow[s], p.y());
                drawnHigh[s] = std::max(drawnHigh[s], p.y());
            }
            for (std::size_t s = 0; s < stretches; ++s) {
                QCOMPARE(drawnHigh[s], high[s]);
                QCOMPARE(drawnLow[s], low[s]);
            }
        }
        auto* alarms = seriesNamed<QScatterSeries>(chartShown("cusumChart"), "signals");
        QVERIFY(all.cusum.signals.size() > 1);
        QCOMPARE(alarms->count(), static_cast<int>(all.cusum.signals.size()));
    }

    void improvementIsDrawnBelowZeroWithItsOwnLimitAndSignals() {
        generated::GeneratedAudit options;
        options.records = 4000;
        options.seed = 11;
        options.oddsMultiplier = 0.4; // outcomes better than predicted
        const QString path = generate(QStringLiteral("better.csv"), options);
        startWindow();
        openWithKeyboard({path});
        const AnalysisResult expected = engineFigures({path});
        const ModelResult& p = resultOf(expected, Model::PPossumMortality);
        QVERIFY(!p.improvement.signals.empty());

        // Charts page, then the CUSUM tab, from the keyboard.
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        QTest::keyClick(window.get(), Qt::Key_U, Qt::AltModifier);
        auto* view = child<QChartView>("cusumChart");
        QCOMPARE(child<QTabWidget>("chartTabs")->currentWidget(), view);
        QTRY_VERIFY(view->chart() && seriesNamed<QLineSeries>(view, "improvement"));

        auto* harm = seriesNamed<QLineSeries>(view, "cusum");
        auto* better = seriesNamed<QLineSeries>(view, "improvement");
        double deepest = 0;
        for (const TimePoint& t : p.series)
            deepest = std::max(deepest, t.improvement);
        double drawnDeepest = 0;
        for (int i = 0; i < better->count(); ++i) {
            QVERIFY(better->at(i).y() <= 0);
            QVERIFY(harm->at(i).y() >= 0);
            drawnDeepest = std::min(drawnDeepest, better->at(i).y());
        }
        QVERIFY(deepest > 0);
        QCOMPARE(drawnDeepest, -deepest);
        auto* limit = seriesNamed<QLineSeries>(view, "improvementLimit");
        QVERIFY(limit && *p.improvement.limit > 0);
        QCOMPARE(limit->at(0).y(), -*p.improvement.limit);
        auto* alarms = seriesNamed<QScatterSeries>(view, "improvementSignals");
        QCOMPARE(alarms->count(), static_cast<int>(p.improvement.signals.size()));
        for (int i = 0; i < alarms->count(); ++i) {
            const CusumSignal& alarm = p.improvement.signals[static_cast<std::size_t>(i)];
            QCOMPARE(alarms->at(i).x(), static_cast<double>(alarm.position));
            QVERIFY(alarms->at(i).y() <= -*p.improvement.limit);
        }
        QCOMPARE(seriesNamed<QScatterSeries>(view, "signals")->count(),
                 static_cast<int>(p.cusum.signals.size()));
        // Told apart by colour and by name.
        QVERIFY(harm->color() != better->color());
        QVERIFY(alarms->color() != seriesNamed<QScatterSeries>(view, "signals")->color());
        QVERIFY(better->name().startsWith("Fewer deaths than predicted"));
        QVERIFY(harm->name().startsWith("More deaths than predicted"));

        // In words: both CUSUMs, their odds ratios, limits and dated signals.
        const QString words = child<QPlainTextEdit>("chartFigures")->toPlainText();
        NumberFormat format;
        const qsizetype more = words.indexOf(
            QStringLiteral("More deaths than predicted: odds ratio 2.00; control limit %1")
                .arg(format.number(*p.cusum.limit, 2)));
        const qsizetype fewer = words.indexOf(
            QStringLiteral("Fewer deaths than predicted (drawn below 0): odds ratio 0.50; control "
                           "limit %1 (computed for an in-control average run length of 200")
                .arg(format.number(*p.improvement.limit, 2)));
        QVERIFY2(more >= 0 && fewer > more, qPrintable(words));
        const CusumSignal& first = p.improvement.signals.front();
        QVERIFY(words.indexOf(QStringLiteral("Signal at episode %1, dated %2")
                                  .arg(first.position)
                                  .arg(QString::fromStdString(first.date)),
                              fewer) > fewer);
    }

    void timeAxisSwitchesBetweenEpisodeNumbersAndDates() {
        startWindow();
        openWithKeyboard({mainFile});
        const AnalysisResult expected = engineFigures({mainFile});
        const ModelResult& p = resultOf(expected, Model::PPossumMortality);
        QChartView* view = chartShown("vladChart");
        // The window's own chart says which dates it shows.
        QVERIFY(view->chart()->title().endsWith(", all dates"));
        auto bottomAxis = [](QChartView* chartView) {
            return chartView->chart()->axes(Qt::Horizontal).first();
        };
        QVERIFY(!qobject_cast<QCategoryAxis*>(bottomAxis(view)));

        // Alt+X reaches the picker; Down picks dates.
        QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier);
        auto* picker = child<QComboBox>("timeAxisPicker");
        QCOMPARE(QApplication::focusWidget(), picker);
        QTest::keyClick(picker, Qt::Key_Down);
        QCOMPARE(picker->currentText(), QStringLiteral("Date of operation"));
        for (const char* name : {"vladChart", "cusumChart"}) {
            QChartView* shown = chartShown(name);
            auto* dates = qobject_cast<QCategoryAxis*>(bottomAxis(shown));
            QVERIFY2(dates, name);
            QCOMPARE(dates->titleText(), QStringLiteral("Date of operation"));
            // Ticks on whole days, each labelled with its date, a few of them.
            const QStringList labels = dates->categoriesLabels();
            QVERIFY(labels.size() >= 3 && labels.size() <= 6);
            for (const QString& label : labels) {
                const double at = dates->endValue(label);
                QCOMPARE(at, std::round(at));
                QVERIFY(at >= dates->min() && at <= dates->max());
                const QDate day = qDateOf(static_cast<std::int32_t>(at));
                QCOMPARE(day.day(), 1); // three years of data: ticks on the first of a month
                QCOMPARE(label, day.toString(QStringLiteral("MMM yyyy")));
            }
            // Each point at its episode's day.
            auto* line =
                seriesNamed<QLineSeries>(shown, name == QByteArray("vladChart") ? "vlad" : "cusum");
            QCOMPARE(line->count(), static_cast<int>(p.series.size()) + 1);
            QCOMPARE(line->at(0).x(), static_cast<double>(p.series.front().day));
            QCOMPARE(line->at(line->count() - 1).x(), static_cast<double>(p.series.back().day));
        }
        QVERIFY(child<QPlainTextEdit>("chartFigures")->toPlainText().contains("Signal at episode"));
        // An exported chart runs along the axis shown.
        const QString svg = dir.filePath("by-date.svg");
        dialogs.saveAnswers.push_back(svg);
        child<QAction>("actionExportSvg")->trigger();
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        QVERIFY(svgFile.readAll().contains("Date of operation"));

        // Remembered: a new window draws by date again; Up goes back to numbers.
        window->close();
        window.reset();
        startWindow();
        openWithKeyboard({mainFile});
        picker = child<QComboBox>("timeAxisPicker");
        QCOMPARE(picker->currentText(), QStringLiteral("Date of operation"));
        view = chartShown("cusumChart");
        QVERIFY(qobject_cast<QCategoryAxis*>(bottomAxis(view)));
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Up);
        auto* numbers = qobject_cast<QValueAxis*>(bottomAxis(view));
        QVERIFY(numbers && !qobject_cast<QCategoryAxis*>(numbers));
        QCOMPARE(numbers->labelFormat(), QStringLiteral("%.0f"));
        QCOMPARE(numbers->tickInterval(), std::round(numbers->tickInterval()));
        QCOMPARE(seriesNamed<QScatterSeries>(view, "signals")->at(0).x(),
                 static_cast<double>(p.cusum.signals[0].position));
    }

    void episodesWithoutADateAreLeftOffTheDateAxisAndSaidSo() {
        // Eleven days of July 2024, then three episodes whose date cannot be read.
        std::string text = generated::kHeader;
        for (int i = 0; i < 14; ++i) {
            // Strings made whole before they go in: GCC 12 at -O3 warns
            // falsely on assigning a string literal or string + literal here.
            generated::Row row{.name = generated::cat("P", std::to_string(i)),
                               .date = i < 11 ? generated::cat(std::to_string(i + 1), "/07/2024")
                                              : std::string("unknown"),
                               .mortality = std::string(i % 3 ? "0" : "1")};
            row.risks[2] = i % 2 ? "0.3000" : "0.1000";
            text += generated::line(row);
        }
        const QString path = dir.filePath(QStringLiteral("undated.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
        file.close();
        startWindow();
        openWithKeyboard({path});

        QChartView* view = chartShown("vladChart");
        auto* picker = child<QComboBox>("timeAxisPicker");
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        auto* dates = qobject_cast<QCategoryAxis*>(view->chart()->axes(Qt::Horizontal).first());
        QVERIFY(dates);
        QCOMPARE(
            dates->titleText(),
            QStringLiteral("Date of operation (3 episodes without a readable date not drawn)"));
        QCOMPARE(seriesNamed<QLineSeries>(view, "vlad")->count(), 11 + 1);
        // Eleven days: a tick every other day, dates written out.
        for (const QString& label : dates->categoriesLabels())
            QVERIFY2(QDate::fromString(label, QStringLiteral("d MMM yyyy")).month() == 7,
                     qPrintable(label));
        QVERIFY(child<QPlainTextEdit>("chartFigures")
                    ->toPlainText()
                    .contains("3 episodes without a readable date: last in time order"));

        QTest::keyClick(picker, Qt::Key_Up);
        auto* numbers = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).first());
        QCOMPARE(numbers->titleText(),
                 QStringLiteral("Episodes in date order (the last 3 without a readable date)"));
        QCOMPARE(seriesNamed<QLineSeries>(view, "vlad")->count(), 14 + 1);
    }

    void unreliableCalibrationPointsAreVisibleAndInsideThePlot() {
        startWindow();
        openWithKeyboard({mainFile});
        // A model with a band expecting fewer than 5 events, picked by the user.
        const ModelResult* picked = nullptr;
        for (const ModelResult& m : window->shownLoad()->result.models)
            for (const RiskBand& band : m.bands)
                if (!picked && band.figures.n > 0 && band.figures.unreliable)
                    picked = &m;
        QVERIFY(picked);
        const ModelResult& p = *picked;
        child<QComboBox>("modelPicker")->setCurrentText(titleOf(p.model));
        // As shown, and as exported (light theme: images and the PDF).
        std::unique_ptr<QChart> exported(
            makeChart(p, ChartKind::Calibration, QChart::ChartThemeLight, NumberFormat()));
        for (QChart* chart : {chartShown("calibrationChart")->chart(), exported.get()}) {
            QScatterSeries* unreliable = nullptr;
            for (QAbstractSeries* series : chart->series())
                if (series->objectName() == "observedUnreliable")
                    unreliable = qobject_cast<QScatterSeries*>(series);
            QVERIFY(unreliable && unreliable->count() > 0);
            const QPen outline = unreliable->pen();
            QVERIFY(outline.style() != Qt::NoPen);
            QVERIFY(outline.widthF() >= 1.5);
            const QColor background = chart->backgroundBrush().color();
            QVERIFY2(std::abs(outline.color().lightness() - background.lightness()) > 60,
                     qPrintable(outline.color().name() + " on " + background.name()));
            // Rates of 0 and 1 sit inside the plot, with room for the marker.
            for (QAbstractAxis* axis : chart->axes()) {
                auto* values = qobject_cast<QValueAxis*>(axis);
                QVERIFY(values->min() < 0 && values->max() > 1);
                QCOMPARE(values->tickAnchor(), 0.0);
            }
        }
    }

    void chartsTickAtRoundValuesAndKeepTheirColours() {
        startWindow();
        openWithKeyboard({mainFile});
        const ModelResult& p = resultOf(window->shownLoad()->result, Model::PPossumMortality);
        for (const ChartKind kind : kChartKinds) {
            const auto light = makeChart(p, kind, QChart::ChartThemeLight, NumberFormat());
            const auto dark = makeChart(p, kind, QChart::ChartThemeDark, NumberFormat());
            for (QAbstractAxis* axis : light->axes()) {
                auto* values = qobject_cast<QValueAxis*>(axis);
                if (!values)
                    continue; // the histogram's bars are named by their band
                QCOMPARE(values->tickType(), QValueAxis::TicksDynamic);
                QCOMPARE(values->tickAnchor(), 0.0);
                const double step = values->tickInterval();
                const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
                QVERIFY2(qFuzzyCompare(mantissa, 1.0) || qFuzzyCompare(mantissa, 2.0) ||
                             qFuzzyCompare(mantissa, 5.0),
                         qPrintable(values->titleText()));
                // Episodes are counted in whole numbers.
                if (values->titleText().startsWith("Episodes")) {
                    QVERIFY(step >= 1);
                    QCOMPARE(values->labelFormat(), QStringLiteral("%.0f"));
                }
            }
            // The same colour for each series on screen in the dark and on paper.
            const QList<QAbstractSeries*> lightSeries = light->series();
            const QList<QAbstractSeries*> darkSeries = dark->series();
            QCOMPARE(lightSeries.size(), darkSeries.size());
            for (qsizetype i = 0; i < lightSeries.size(); ++i) {
                auto colour = [](QAbstractSeries* series) {
                    if (auto* scatter = qobject_cast<QScatterSeries*>(series))
                        return scatter->borderColor();
                    if (auto* line = qobject_cast<QLineSeries*>(series))
                        return line->color();
                    if (auto* area = qobject_cast<QAreaSeries*>(series))
                        return area->brush().color();
                    return qobject_cast<QStackedBarSeries*>(series)->barSets().last()->color();
                };
                QCOMPARE(colour(lightSeries[i]), colour(darkSeries[i]));
            }
        }
    }

    void reportGoesToPdfAndPrinter() {
        startWindow();
        openWithKeyboard({mainFile});
        const QString pdf = dir.filePath("report.pdf");
        dialogs.saveAnswers.push_back(pdf);
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(dialogs.saveRequests.size(), 1u);
        QVERIFY(dialogs.saveRequests[0].suggestedPath.endsWith(".pdf"));
        QVERIFY(platform.messages.empty());

        // The page plan: the title page with the summaries, a page of
        // calibration and the models compared, three pages for each of the
        // eight models, three of method notes (one file: no funnel plots).
        QCOMPARE(windowtesting::pdfPages(pdf), 29);
        const QString text = windowtesting::pdfText(pdf);
        const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        // Found by search as typed (no ligature glyphs), and every page says
        // where it belongs.
        QVERIFY(text.contains("no clear difference from expected"));
        QVERIFY(text.contains("mean squared difference"));
        QCOMPARE(pages.size(), windowtesting::pdfPages(pdf));
        for (qsizetype i = 0; i < pages.size(); ++i) {
            QVERIFY2(pages[i].contains(QStringLiteral("Page %1").arg(i + 1)), qPrintable(pages[i]));
            QVERIFY(pages[i].contains("Audit report, all dates"));
        }
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[\\x{FB00}-\\x{FB06}]"))));
        // No figure or interval is broken across lines, bold rows included.
        for (const ModelResult& m : engineFigures({mainFile}).models) {
            NumberFormat format;
            QVERIFY2(
                pages[0].contains(format.withInterval(*m.overall.ratio, m.overall.interval, 2)),
                qPrintable(titleOf(m.model)));
            QVERIFY2(pages[0].contains(format.withInterval(*m.discrimination.auroc,
                                                           m.discrimination.interval, 3)),
                     qPrintable(titleOf(m.model)));
        }
        QVERIFY(pages[0].contains("Audit report"));
        QVERIFY(pages[0].contains("audit.csv"));
        QVERIFY(pages[0].contains("Date range: all dates"));
        // How complete follow-up is comes with the figures it qualifies.
        QVERIFY(pages[0].contains("Completeness of follow-up"));
        QVERIFY(pages[0].contains("Known of due"));
        QVERIFY(pages[0].contains("days after its procedure"));
        QVERIFY(pages[0].contains("more deaths than expected"));
        QVERIFY(pages[0].contains("Mortality"));
        // Every heading is found by pdftotext, in the order of the plan, on a
        // line of its own; each model's pages start with theirs.
        QStringList headings{QStringLiteral("Calibration (95% intervals in brackets)"),
                             QStringLiteral("AUROCs compared (paired DeLong test)")};
        QStringList pageHeadings;
        for (const ModelResult& m : engineFigures({mainFile}).models)
            for (const QString& heading :
                 {titleOf(m.model), titleOf(m.model) + ": discrimination and predicted risks",
                  titleOf(m.model) + ": over time"}) {
                headings << heading;
                pageHeadings << heading;
            }
        headings << QStringLiteral("Methods") << QStringLiteral("References");
        qsizetype page = 0;
        for (const QString& heading : headings) {
            auto linesOf = [&](qsizetype at) {
                QStringList lines;
                for (const QString& line : pages[at].split(QLatin1Char('\n')))
                    if (!line.trimmed().isEmpty())
                        lines << line.trimmed();
                return lines;
            };
            while (page < pages.size() && !linesOf(page).contains(heading))
                ++page;
            QVERIFY2(page < pages.size(), qPrintable(heading));
            if (pageHeadings.contains(heading))
                QCOMPARE(linesOf(page).constFirst(), heading);
        }
        QCOMPARE(pages.size() - 1, page + 1); // the references end on the last page but one
        QVERIFY(pages[2].contains("Flexible calibration curve (restricted cubic spline"));
        QVERIFY(pages[3].contains("ROC curve"));
        QVERIFY(pages[3].contains("Predicted risks"));
        QVERIFY(pages[4].contains("CUSUM"));
        // Both CUSUMs, along dates when the file has them, and the caption says so.
        QVERIFY(pages[4].simplified().contains("run by date of operation"));
        QVERIFY(pages[4].simplified().contains("fewer complications than predicted"));
        // Paragraphs wrap: read as running text.
        const QString methods = (pages[26] + pages[27] + pages[28]).simplified();
        QVERIFY(methods.contains("Steiner SH"));
        QVERIFY(methods.contains("DeLong ER"));
        QVERIFY(methods.contains("Spiegelhalter DJ"));
        QVERIFY(methods.contains("Austin PC, Steyerberg EW"));
        QVERIFY(methods.contains("legacy test whose verdict depends on the number of episodes"));
        QVERIFY(methods.contains("not for elective vascular patients"));

        // Printing paints the same report through the print dialog.
        const QString printed = dir.filePath("printed.pdf");
        platform.printAnswers.push_back(printed);
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        // The print dialog offers the name the export offered.
        QCOMPARE(platform.printDocNames.back() + ".pdf",
                 QFileInfo(dialogs.saveRequests[0].suggestedPath).fileName());
        QCOMPARE(windowtesting::pdfPages(printed), 29);
        QVERIFY(windowtesting::pdfText(printed).contains("Hosmer"));
        platform.printAnswers.push_back(std::nullopt); // Cancel prints nothing
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(platform.messages.empty());
    }

    void chartsAndTablesExport() {
        startWindow();
        openWithKeyboard({mainFile});
        const AnalysisResult expected = engineFigures({mainFile});
        const ModelResult& p = resultOf(expected, Model::PPossumMortality);

        const QString csv = dir.filePath("mortality.csv");
        dialogs.saveAnswers.push_back(csv);
        child<QAction>("actionCsvMortality")->trigger();
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8); // header and the seven mortality models
        QVERIFY(lines[0].startsWith(
            "\uFEFFDates,Model,n,Observed,Expected,O:E,O:E lower 95% limit,O:E upper 95% limit"));
        QString row;
        for (const QString& line : lines)
            if (line.startsWith("all dates,P-POSSUM mortality,"))
                row = line;
        // Rounded as the window shows them.
        const QStringList fields = row.split(',');
        QCOMPARE(fields[2], QString::number(p.overall.n));
        QCOMPARE(fields[3], QString::number(p.overall.observed));
        QCOMPARE(fields[4], QString::number(p.overall.expected, 'f', 2));
        QCOMPARE(fields[5], QString::number(*p.overall.ratio, 'f', 2));
        QCOMPARE(fields[6], QString::number(p.overall.interval->lower, 'f', 2));
        QCOMPARE(fields[8], QStringLiteral("no"));

        const QString png = dir.filePath("chart.png");
        dialogs.saveAnswers.push_back(png);
        child<QTabWidget>("chartTabs")->setCurrentIndex(3);
        child<QAction>("actionExportPng")->trigger();
        QVERIFY(dialogs.saveRequests.back().suggestedPath.endsWith("cusum-p_possum_mortality.png"));
        const QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 1000);

        const QString svg = dir.filePath("chart.svg");
        dialogs.saveAnswers.push_back(svg);
        child<QAction>("actionExportSvg")->trigger();
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        const QByteArray svgText = svgFile.readAll();
        QVERIFY(svgText.contains("<svg"));
        QVERIFY(svgText.contains("Risk-adjusted CUSUM"));
        QVERIFY(svgText.contains("all dates")); // the chart says which dates it shows

        // A file that cannot be written is reported, not passed over.
        dialogs.saveAnswers.push_back(dir.filePath("missing/folder/bands.csv"));
        child<QAction>("actionCsvBands")->trigger();
        QCOMPARE(platform.messages.size(), 1u);
        QVERIFY(platform.messages[0].isError);
        QVERIFY(platform.messages[0].text.contains("could not be written"));
    }

    void cancellingALongReadKeepsTheFiguresShown() {
        startWindow();
        openWithKeyboard({mainFile});
        const std::uint64_t episodes = window->shownLoad()->result.episodes;

        // A pipe makes the read as long as the test wants: it cannot end
        // while the writing end is open, however fast the machine.
        const QString pipe = dir.filePath("growing.csv");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QSignalSpy shown(window.get(), &AuditWindow::figuresShown);
        window->openFiles({pipe});
        QVERIFY(window->isBusy());
        QVERIFY(child<QProgressBar>("progressBar")->isVisible());
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly)); // waits for the reader to open it
        generated::GeneratedAudit some;
        some.records = 20000;
        const QByteArray text = QByteArray::fromStdString(generated::generateAuditText(some));
        QCOMPARE(writer.write(text), text.size());
        QTRY_VERIFY(child<QLabel>("statusText")->text().startsWith("Reading growing.csv"));
        QVERIFY(window->isBusy());

        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isBusy());
        QVERIFY(!child<QProgressBar>("progressBar")->isVisible());
        QVERIFY(child<QLabel>("statusText")->text().startsWith("Reading cancelled"));
        QCOMPARE(window->shownLoad()->result.episodes, episodes);
        writer.close(); // the reader sees the end and stops

        // The cancelled read never shows up later: the next files' figures are the ones shown.
        openWithKeyboard({mainFile});
        QCOMPARE(window->shownLoad()->result.episodes, episodes);
        QCOMPARE(shown.size(), 2);
    }

    void problemsPanelShowsTheLineOfAProblem() {
        QFile file(dir.filePath("joined.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        generated::GeneratedAudit options;
        options.records = 30;
        QByteArray text = QByteArray::fromStdString(generated::generateAuditText(options));
        // A broken record as line 4.
        qsizetype at = 0;
        for (int line = 1; line < 4; ++line)
            at = text.indexOf('\n', at) + 1;
        text.insert(at, "Caf\xe9 garbage,not,a,record\r\n");
        file.write(text);
        file.close();
        startWindow();
        openWithKeyboard({file.fileName()});

        QTableView* problems = child<QTableView>("problemTable");
        int row = -1;
        for (int r = 0; r < problems->model()->rowCount(); ++r)
            if (problems->model()->index(r, 1).data().toString() == "4")
                row = r;
        QVERIFY(row >= 0);
        QVERIFY(problems->model()->index(row, 0).data().toString().endsWith("joined.csv"));
        child<QTabWidget>("pages")->setCurrentWidget(problems->parentWidget());
        // Enter on the row, then a double-click, each show the line.
        const QModelIndex problem = problems->model()->index(row, 2);
        problems->setFocus();
        problems->setCurrentIndex(problem);
        QTest::keyClick(problems, Qt::Key_Return);
        QVERIFY(child<QPlainTextEdit>("lineView")->toPlainText().contains("line 4:"));
        child<QPlainTextEdit>("lineView")->clear();
        QTRY_VERIFY(problems->isVisible());
        problems->scrollTo(problem);
        QTest::mouseClick(problems->viewport(), Qt::LeftButton, {},
                          problems->visualRect(problem).center());
        QTest::mouseDClick(problems->viewport(), Qt::LeftButton, {},
                           problems->visualRect(problem).center());
        const QString shown = child<QPlainTextEdit>("lineView")->toPlainText();
        QVERIFY2(shown.contains("line 4:\nCaf\u00e9 garbage,not,a,record"), qPrintable(shown));
        // Other files opened: the line shown was of a file no longer open.
        openWithKeyboard({mainFile});
        QVERIFY(child<QPlainTextEdit>("lineView")->toPlainText().isEmpty());
    }

    void remembersFolderRecentFilesAndPlace() {
        startWindow();
        openWithKeyboard({mainFile});
        window->resize(900, 650);
        window->close();
        window.reset();

        startWindow();
        QCOMPARE(window->size(), QSize(900, 650));
        // The open dialog starts in the folder used last.
        dialogs.openAnswers.push_back({});
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs.openFolders.back(), QFileInfo(mainFile).absolutePath());
        QMenu* recent = child<QMenu>("recentMenu");
        QVERIFY(recent->isEnabled());
        QCOMPARE(recent->actions().first()->data().toString(),
                 QFileInfo(mainFile).absoluteFilePath());
        recent->actions().first()->trigger();
        waitForFigures();
        QCOMPARE(window->shownLoad()->data->files().size(), 1u);
    }

    void openStartsBesideTheOpenFilesAndAddsFiles() {
        startWindow();
        openWithKeyboard({mainFile});
        // A report exported elsewhere does not move where files are opened from.
        QDir(dir.path()).mkpath("exports");
        dialogs.saveAnswers.push_back(dir.filePath("exports/report.pdf"));
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(QFileInfo::exists(dir.filePath("exports/report.pdf")));
        generated::GeneratedAudit later;
        later.records = 50;
        later.seed = 99;
        later.firstYear = 2024;
        later.years = 1;
        const QString second = generate(QStringLiteral("later.csv"), later);
        dialogs.openAnswers.push_back({second});
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(dialogs.openFolders.back(), QFileInfo(mainFile).absolutePath());
        waitForFigures();
        // Added to the files open, not in place of them.
        QCOMPARE(window->shownLoad()->data->files().size(), 2u);
        QCOMPARE(window->shownLoad()->result.episodes, engineFigures({mainFile, second}).episodes);
        dialogs.openAnswers.push_back({});
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs.openFolders.back(), QFileInfo(second).absolutePath());
    }

    void filesDroppedOnTheWindowOpen() {
        startWindow();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(mainFile)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);
        waitForFigures();
        QVERIFY(window->windowTitle().startsWith("audit.csv"));
        QVERIFY(dialogs.dropQuestions.empty()); // nothing open to add to

        // With files open, a drop anywhere (here on a date field, which
        // takes dropped text too) asks whether to add or replace.
        generated::GeneratedAudit few;
        few.records = 50;
        few.seed = 31;
        const QString second = generate(QStringLiteral("second.csv"), few);
        child<QCheckBox>("rangeCheck")->setChecked(true); // the date fields take text
        waitForFigures();
        QLineEdit* dateText = child<DateField>("fromDate")->lineEdit();
        QVERIFY(dateText->isEnabled() && dateText->acceptDrops());
        const QString typed = dateText->text();
        auto dropOn = [&](QWidget* target, const QString& path) {
            QMimeData files;
            files.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enterTarget(QPoint(2, 2), Qt::CopyAction, &files, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enterTarget);
            QVERIFY(enterTarget.isAccepted());
            QDropEvent dropTarget(QPointF(2, 2), Qt::CopyAction, &files, Qt::LeftButton, {});
            QApplication::sendEvent(target, &dropTarget);
        };
        dialogs.dropAnswers.push_back(AuditDialogs::DropChoice::Add);
        dropOn(dateText, second);
        waitForFigures();
        QCOMPARE(dialogs.dropQuestions.back(), QStringList{second});
        QCOMPARE(dateText->text(), typed); // no path typed into the date
        QCOMPARE(window->shownLoad()->data->files().size(), 2u);
        dialogs.dropAnswers.push_back(AuditDialogs::DropChoice::Replace);
        dropOn(child<QTableView>("mortalityTable")->viewport(), second);
        QTRY_VERIFY_WITH_TIMEOUT(window->windowTitle().startsWith("second.csv - "), 30000);
        waitForFigures();
        QCOMPARE(window->shownLoad()->data->files().size(), 1u);
        dialogs.dropAnswers.push_back(AuditDialogs::DropChoice::Cancel);
        dropOn(window.get(), mainFile);
        QCOMPARE(dialogs.dropQuestions.size(), 3u);
        QVERIFY(!window->isBusy());
        QVERIFY(window->windowTitle().startsWith("second.csv - "));
    }

    void unreadableFilesAreReported() {
        startWindow();
        openWithKeyboard({mainFile});
        window->openFiles({dir.filePath("absent.csv")});
        QTRY_VERIFY_WITH_TIMEOUT(!platform.messages.empty(), 30000);
        QVERIFY(platform.messages[0].text.startsWith("None of the files could be read:\n"));
        QVERIFY(platform.messages[0].text.contains("absent.csv"));
        QVERIFY(!window->isBusy());
        // One unreadable file among readable ones goes to the problems panel instead.
        openWithKeyboard({dir.filePath("absent.csv"), mainFile});
        QCOMPARE(platform.messages.size(), 1u);
        QVERIFY(child<QTableView>("problemTable")
                    ->model()
                    ->index(0, 2)
                    .data()
                    .toString()
                    .startsWith("could not be read"));
        // A device is refused at once with the command line's words.
        window->openFiles({QStringLiteral("/dev/zero")});
        QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 2u, 30000);
        QVERIFY(platform.messages[1].text.contains("/dev/zero: not a regular file"));
    }

    void helpOpensTheWindowsTopic() {
        startWindow();
        QTest::keyClick(window.get(), Qt::Key_F1);
        QCOMPARE(platform.helpCalls.size(), 2u);
        QVERIFY(platform.helpCalls[0].isContents);
        QCOMPARE(platform.helpCalls[1].command, QStringLiteral("JumpID(\"\",\"auditwindow\")"));
    }

    // Small, default and large windows: every table shows its numbers and
    // headings whole, its last column no wider than it needs, and every
    // chart keeps a readable size; the page scrolls instead.
    void tablesAndChartsStayReadableAtEverySize_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("800 x 600") << QSize(800, 600);
        QTest::newRow("default 1100 px") << QSize(1100, 760);
        QTest::newRow("1600 px") << QSize(1600, 1000);
    }
    void tablesAndChartsStayReadableAtEverySize() {
        QFETCH(QSize, size);
        startWindow();
        openWithKeyboard({mainFile});
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        auto* pages = child<QTabWidget>("pages");

        // Each column at least as wide as its heading and cells ask, the last
        // exactly so, and the view showing every column (and, for the
        // summary's tables, every row).
        auto checkTable = [&](const char* name, int pageIndex, int rowsShown) {
            pages->setCurrentIndex(pageIndex);
            auto* view = child<QTableView>(name);
            QTRY_VERIFY(view->isVisible());
            QCoreApplication::processEvents();
            const QHeaderView* header = view->horizontalHeader();
            const QAbstractItemView* cells = view;
            int last = -1;
            for (int column = 0; column < header->count(); ++column) {
                if (view->isColumnHidden(column))
                    continue;
                const int needed =
                    std::max(header->sectionSizeHint(column), cells->sizeHintForColumn(column));
                QVERIFY2(view->columnWidth(column) >= needed,
                         qPrintable(QStringLiteral("%1 column %2: %3 < %4")
                                        .arg(name)
                                        .arg(column)
                                        .arg(view->columnWidth(column))
                                        .arg(needed)));
                last = column;
            }
            QVERIFY(last >= 0);
            QCOMPARE(view->columnWidth(last),
                     std::max(header->sectionSizeHint(last), cells->sizeHintForColumn(last)));
            QVERIFY2(view->viewport()->width() >= header->length(), name);
            const int rows = rowsShown ? std::min(rowsShown, view->model()->rowCount())
                                       : view->model()->rowCount();
            int height = 0;
            for (int row = 0; row < rows; ++row)
                height += view->rowHeight(row);
            QVERIFY2(view->viewport()->height() >= height, name);
        };
        for (const char* table :
             {"morbidityTable", "mortalityTable", "calibrationTable", "comparisonTable"})
            checkTable(table, 0, 0);
        checkTable("completenessByMonth", 4, 3);

        // A few episodes of the list in view however small the window.
        auto* list = child<QTableView>("outstandingTable");
        pages->setCurrentIndex(4);
        QTRY_VERIFY(list->isVisible());
        QVERIFY2(list->viewport()->height() >= 4 * list->verticalHeader()->defaultSectionSize(),
                 qPrintable(QString::number(list->viewport()->height())));

        // Charts: never squashed below about 300 by 400 pixels.
        for (const char* name : {"calibrationChart", "rocChart", "vladChart", "cusumChart",
                                 "histogramChart", "funnelChart"}) {
            auto* view = child<QChartView>(name);
            if (QByteArray(name) == "funnelChart")
                pages->setCurrentIndex(2);
            else
                chartShown(name);
            QTRY_VERIFY(view->isVisible());
            QVERIFY2(view->height() >= 300 && view->width() >= 400,
                     qPrintable(QStringLiteral("%1: %2 x %3")
                                    .arg(name)
                                    .arg(view->width())
                                    .arg(view->height())));
        }
    }

    // Every page and chart in turn: each access key in view belongs to one
    // control, the pages' tabs and the menus' titles included.
    void everyAccessKeyInViewIsOneControls() {
        startWindow();
        openWithKeyboard({mainFile});
        auto* pages = child<QTabWidget>("pages");
        auto* charts = child<QTabWidget>("chartTabs");
        QStringList clashes;
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const bool chartsPage = pages->currentWidget()->isAncestorOf(charts);
            for (int chart = 0; chart < (chartsPage ? charts->count() : 1); ++chart) {
                if (chartsPage)
                    charts->setCurrentIndex(chart);
                for (const QString& clash : caldrin::testing::mnemonicClashes(window.get()))
                    clashes << pages->tabText(page) + QStringLiteral(" page: ") + clash;
            }
        }
        clashes.removeDuplicates();
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QLatin1Char('\n'))));
    }

    void darkPaletteGivesDarkChartsAndReadableMarks() {
        const QPalette light = QApplication::palette();
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(20, 20, 20));
        dark.setColor(QPalette::Text, Qt::white);
        QApplication::setPalette(dark);
        startWindow();
        openWithKeyboard({mainFile});
        QCOMPARE(chartShown("rocChart")->chart()->theme(), QChart::ChartThemeDark);
        const int row = rowOf("mortalityTable", titleOf(Model::PPossumMortality));
        const QColor tint = child<QTableView>("mortalityTable")
                                ->model()
                                ->index(row, 9)
                                .data(Qt::BackgroundRole)
                                .value<QBrush>()
                                .color();
        QVERIFY(tint.lightness() < 100); // white text stays readable on it
        // Every marked cell's text reads on its tint (4.5:1), in bold and in words.
        auto luminance = [](const QColor& c) {
            auto channel = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
                   0.0722 * channel(c.blueF());
        };
        const QAbstractItemModel* model = child<QTableView>("mortalityTable")->model();
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex cell = model->index(row, column);
            const QColor text = cell.data(Qt::ForegroundRole).value<QBrush>().color();
            const QColor back = cell.data(Qt::BackgroundRole).value<QBrush>().color();
            const double lighter = std::max(luminance(text), luminance(back));
            const double darker = std::min(luminance(text), luminance(back));
            QVERIFY((lighter + 0.05) / (darker + 0.05) >= 4.5);
        }

        QApplication::setPalette(light);
        QTRY_COMPARE(chartShown("rocChart")->chart()->theme(), QChart::ChartThemeLight);
    }
};

QTEST_MAIN(AuditWindowTest)
#include "auditwindow_test.moc"
