// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/funnelpage.h"
#include "auditwindow/pagefit.h"

#include "auditwindow/figuretablemodel.h"
#include "auditwindow/funnelchart.h"
#include "auditwindow/modelnames.h"

#include <QChartView>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <memory>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

FunnelPage::FunnelPage(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("funnelPage"));
    unitModel_ = new FigureTableModel(this);
    auto* contents = new QWidget;
    auto* layout = new QHBoxLayout(contents);
    view_ = new QChartView;
    view_->setObjectName(QStringLiteral("funnelChart"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->setMinimumSize(chartMinimumSize(view_));
    figures_ = new QPlainTextEdit;
    figures_->setObjectName(QStringLiteral("funnelFigures"));
    figures_->setAccessibleName(QStringLiteral("Units on the funnel plot"));
    figures_->setReadOnly(true);
    figures_->setTabChangesFocus(true);
    figures_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto* side = new QVBoxLayout;
    auto* label = new QLabel(QStringLiteral("Un&its, outside the limits first:"));
    label->setBuddy(figures_);
    side->addWidget(label);
    side->addWidget(figures_, 1);
    figures_->setMinimumWidth(figures_->fontMetrics().averageCharWidth() * 30);
    layout->addWidget(view_, 3);
    layout->addLayout(side, 2);
    scrollInside(this, contents);
}

QChart::ChartTheme FunnelPage::theme() const {
    return palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                               : QChart::ChartThemeLight;
}

void FunnelPage::show(const AnalysisResult* result, std::size_t modelIndex,
                      const NumberFormat& format) {
    result_ = result;
    modelIndex_ = modelIndex;
    format_ = format;
    if (!result || modelIndex >= result->models.size()) {
        result_ = nullptr;
        figures_->clear();
        return;
    }
    unitModel_->setTable(unitTable(*result, modelIndex, format));
    const QString text = funnelFigures(*result, modelIndex, format);
    figures_->setPlainText(text);
    view_->setAccessibleName(QStringLiteral("Funnel plot, ") +
                             modelName(result->models[modelIndex].model));
    view_->setAccessibleDescription(text);
    stale_ = true;
    drawVisible();
}

void FunnelPage::drawVisible() {
    if (!result_ || !stale_ || !isVisible())
        return;
    // The view owns the chart it shows and gives the one it showed back.
    const std::unique_ptr<QChart> old(view_->chart());
    view_->setChart(makeFunnelChart(*result_, modelIndex_, theme(), format_).release());
    stale_ = false;
}

void FunnelPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    drawVisible();
}

void FunnelPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        stale_ = true;
        drawVisible();
    }
}

} // namespace caldrin::auditwindow
