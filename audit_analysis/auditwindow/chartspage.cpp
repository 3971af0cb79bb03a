// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/chartspage.h"

#include "auditwindow/modelnames.h"
#include "auditwindow/pagefit.h"
#include "auditwindow/settingsname.h"
#include "platform/programsettings.h"

#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

// Chart tabs with access keys of their own.
const std::array<QString, kChartKinds.size()> kTabLabels = {
    QStringLiteral("C&alibration"), QStringLiteral("&ROC curve"), QStringLiteral("&VLAD"),
    QStringLiteral("C&USUM"), QStringLiteral("Predicted ris&ks")};

const QString kTimeAxisChoice = QStringLiteral("chartTimeAxis");

} // namespace

ChartsPage::ChartsPage(QWidget* parent)
    : QWidget(parent) {
    auto* contents = new QWidget;
    auto* layout = new QVBoxLayout(contents);
    timeAxisPicker_ = new QComboBox;
    timeAxisPicker_->setObjectName(QStringLiteral("timeAxisPicker"));
    for (const TimeAxis axis : {TimeAxis::EpisodeNumber, TimeAxis::Date})
        timeAxisPicker_->addItem(timeAxisName(axis), static_cast<int>(axis));
    if (ProgramSettings::choice(kAuditSettingsName, kTimeAxisChoice) == QStringLiteral("date"))
        timeAxisPicker_->setCurrentIndex(1);
    auto* timeAxisLabel = new QLabel(QStringLiteral("Time a&xis of VLAD and CUSUM:"));
    timeAxisLabel->setBuddy(timeAxisPicker_);
    auto* timeAxisRow = new QHBoxLayout;
    timeAxisRow->addWidget(timeAxisLabel);
    timeAxisRow->addWidget(timeAxisPicker_);
    timeAxisRow->addStretch(1);
    layout->addLayout(timeAxisRow);
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("chartTabs"));
    for (std::size_t k = 0; k < kChartKinds.size(); ++k) {
        auto* view = new QChartView;
        view->setObjectName(chartKey(kChartKinds[k]) + QStringLiteral("Chart"));
        view->setRenderHint(QPainter::Antialiasing);
        view->setFocusPolicy(Qt::StrongFocus);
        view->setMinimumSize(chartMinimumSize(view));
        views_[k] = view;
        tabs_->addTab(view, kTabLabels[k]);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &ChartsPage::drawVisible);
    connect(timeAxisPicker_, &QComboBox::currentIndexChanged, this, [this] {
        ProgramSettings::setChoice(kAuditSettingsName, kTimeAxisChoice,
                                   timeAxis() == TimeAxis::Date ? QStringLiteral("date")
                                                                : QStringLiteral("episode"));
        for (std::size_t k = 0; k < kChartKinds.size(); ++k)
            if (kChartKinds[k] == ChartKind::Vlad || kChartKinds[k] == ChartKind::Cusum)
                stale_[k] = true;
        drawVisible();
    });
    figures_ = new QPlainTextEdit;
    figures_->setObjectName(QStringLiteral("chartFigures"));
    figures_->setAccessibleName(QStringLiteral("Chart figures"));
    figures_->setReadOnly(true);
    figures_->setTabChangesFocus(true);
    figures_->setMaximumHeight(130);
    auto* figuresLabel = new QLabel(QStringLiteral("Chart fi&gures:"));
    figuresLabel->setBuddy(figures_);
    layout->addWidget(tabs_, 1);
    layout->addWidget(figuresLabel);
    layout->addWidget(figures_);
    scrollInside(this, contents);
}

QChart::ChartTheme ChartsPage::theme() const {
    return palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                               : QChart::ChartThemeLight;
}

void ChartsPage::show(const ModelResult* model, const NumberFormat& format,
                      const QString& dateRange) {
    model_ = model;
    format_ = format;
    dateRange_ = dateRange;
    if (!model)
        return;
    for (std::size_t k = 0; k < kChartKinds.size(); ++k) {
        QChartView* view = views_[k];
        view->setAccessibleName(chartTitle(kChartKinds[k]) + QStringLiteral(" chart, ") +
                                modelName(model->model));
        view->setAccessibleDescription(chartFigures(*model, kChartKinds[k], format));
        stale_[k] = true;
    }
    drawVisible();
}

void ChartsPage::drawVisible() {
    const int tab = tabs_->currentIndex();
    if (tab < 0)
        return;
    const auto k = static_cast<std::size_t>(tab);
    figures_->setPlainText(views_[k]->accessibleDescription());
    const ModelResult* model = model_;
    if (!model || !stale_[k] || !views_[k]->isVisible())
        return;
    // The view owns the chart it shows and gives the one it showed back.
    const std::unique_ptr<QChart> old(views_[k]->chart());
    views_[k]->setChart(
        makeChart(*model, kChartKinds[k], theme(), format_, dateRange_, timeAxis()).release());
    stale_[k] = false;
}

void ChartsPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        stale_.fill(true);
        drawVisible();
    }
}

ChartKind ChartsPage::currentKind() const {
    return kChartKinds[static_cast<std::size_t>(std::max(0, tabs_->currentIndex()))];
}

TimeAxis ChartsPage::timeAxis() const {
    return static_cast<TimeAxis>(timeAxisPicker_->currentData().toInt());
}

} // namespace caldrin::auditwindow
