// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/pagefit.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace caldrin::auditwindow {

namespace {

// Refits a table whenever what decides its size changes: its model's
// contents, its font or its style.
class TableFitter : public QObject {
public:
    TableFitter(QTableView* view, int shownRows)
        : QObject(view)
        , view_(view)
        , shownRows_(shownRows) {
        view->installEventFilter(this);
        QHeaderView* header = view->horizontalHeader();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::Interactive);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (shownRows == 0)
            view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        else
            view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QAbstractItemModel* model = view->model();
        connect(model, &QAbstractItemModel::modelReset, this, &TableFitter::fit,
                Qt::QueuedConnection);
        connect(model, &QAbstractItemModel::layoutChanged, this, &TableFitter::fit,
                Qt::QueuedConnection);
        connect(model, &QAbstractItemModel::dataChanged, this, &TableFitter::fit,
                Qt::QueuedConnection);
        connect(model, &QAbstractItemModel::rowsInserted, this, &TableFitter::fit,
                Qt::QueuedConnection);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &TableFitter::fit,
                Qt::QueuedConnection);
        connect(header, &QHeaderView::sectionCountChanged, this, &TableFitter::fit,
                Qt::QueuedConnection);
        fit();
    }

    void fit() {
        QHeaderView* header = view_->horizontalHeader();
        // QTableView hides the public hint of its base.
        const QAbstractItemView* cells = view_;
        int width = 2 * view_->frameWidth();
        for (int column = 0; column < header->count(); ++column) {
            if (view_->isColumnHidden(column))
                continue;
            const int needed =
                std::max(header->sectionSizeHint(column), cells->sizeHintForColumn(column));
            header->resizeSection(column, needed);
            width += needed;
        }
        const int rows = view_->model()->rowCount();
        if (shownRows_ == 0) {
            view_->resizeRowsToContents();
            int height = header->sizeHint().height() + 2 * view_->frameWidth();
            for (int row = 0; row < rows; ++row)
                height += view_->rowHeight(row);
            view_->setFixedHeight(height);
        } else {
            width += view_->verticalScrollBar()->sizeHint().width();
            const int rowHeight = view_->verticalHeader()->defaultSectionSize();
            view_->setMinimumHeight(header->sizeHint().height() + 2 * view_->frameWidth() +
                                    shownRows_ * rowHeight);
        }
        view_->setFixedWidth(width);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == view_ &&
            (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
             event->type() == QEvent::Show))
            QMetaObject::invokeMethod(this, &TableFitter::fit, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    QTableView* view_;
    int shownRows_;
};

} // namespace

QSize chartMinimumSize(const QWidget* chart) {
    // About 20 lines by 45 characters of the chart's font, and never below
    // 420 by 320 pixels: room for the title, two axis titles, five tick
    // labels each way and a plot whose points can be told apart.
    const QFontMetrics metrics = chart->fontMetrics();
    return {std::max(420, metrics.averageCharWidth() * 45), std::max(320, metrics.height() * 20)};
}

void scrollInside(QWidget* page, QWidget* contents) {
    auto* scroll = new QScrollArea;
    scroll->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(contents);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

void keepFitted(QTableView* view, int shownRows) {
    new TableFitter(view, shownRows);
}

void fitLabelsToViewport(const QScrollArea& area, const QList<QLabel*>& labels) {
    const QMargins margins = area.widget()->layout()->contentsMargins();
    const int width = std::max(100, area.viewport()->width() - margins.left() - margins.right());
    for (QLabel* label : labels) {
        label->setMaximumWidth(width);
        label->setMinimumHeight(std::max(0, label->heightForWidth(width)));
    }
}

} // namespace caldrin::auditwindow
