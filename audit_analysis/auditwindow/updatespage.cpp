// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/updatespage.h"

#include "auditwindow/auditloader.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/pagefit.h"
#include "auditwindow/summarypage.h"
#include "auditwindow/updatetables.h"

#include <QEvent>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace caldrin::auditwindow {

UpdatesPage::UpdatesPage(QWidget* parent)
    : QScrollArea(parent) {
    setObjectName(QStringLiteral("updatesPage"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    model_ = new FigureTableModel(this);
    auto* page = new QWidget;
    setWidget(page);
    auto* layout = new QVBoxLayout(page);
    noneLabel_ = new QLabel(
        QStringLiteral("No model update added. File > Add an Update... measures an update "
                       "(written by caldrin-audit --update) as one more model on the episodes "
                       "after its fit period."));
    noneLabel_->setObjectName(QStringLiteral("noUpdatesLabel"));
    tableTitle_ = new QLabel;
    table_ = makeTableView(model_, QStringLiteral("updateTable"),
                           QStringLiteral("Updated models checked on later data"));
    keepFitted(table_);
    tableTitle_->setBuddy(table_);
    notes_ = new QLabel;
    notes_->setObjectName(QStringLiteral("updateNotes"));
    notes_->setTextFormat(Qt::RichText);
    reading_ = new QLabel(updateCheckReading());
    reading_->setObjectName(QStringLiteral("updateReading"));
    for (QLabel* label : {noneLabel_, notes_, reading_}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    for (QWidget* widget : {static_cast<QWidget*>(noneLabel_), static_cast<QWidget*>(tableTitle_),
                            static_cast<QWidget*>(table_), static_cast<QWidget*>(notes_),
                            static_cast<QWidget*>(reading_)})
        layout->addWidget(widget);
    layout->addStretch(1);
    viewport()->installEventFilter(this);
    for (QWidget* widget : {static_cast<QWidget*>(tableTitle_), static_cast<QWidget*>(table_),
                            static_cast<QWidget*>(notes_)})
        widget->hide();
}

void UpdatesPage::show(const AuditLoad& load, const NumberFormat& format) {
    const FigureTable table = updateCheckTable(load.updates, format, NameLayout::Stacked);
    const bool any = !table.rows.empty();
    tableTitle_->setText(QStringLiteral("<b>%1</b>").arg(table.title.toHtmlEscaped()));
    // Each paragraph starts with its update's name, in bold to find it by.
    QStringList paragraphs;
    const QStringList notes = updateCheckNotes(load.updates, format);
    qsizetype next = 0;
    for (const audit::UpdateValidation& check : load.updates) {
        if (!check.update || next >= notes.size())
            continue;
        const QString& note = notes[next++];
        const qsizetype nameEnd = updateName(check).size();
        paragraphs << QStringLiteral("<b>%1</b>%2")
                          .arg(note.left(nameEnd).toHtmlEscaped(),
                               note.mid(nameEnd).toHtmlEscaped());
    }
    notes_->setText(paragraphs.join(QStringLiteral("<br><br>")));
    notes_->setAccessibleName(table.title + QStringLiteral(" notes"));
    table_->setAccessibleDescription(table.asText());
    model_->setTable(table);
    noneLabel_->setVisible(!any);
    for (QWidget* widget : {static_cast<QWidget*>(tableTitle_), static_cast<QWidget*>(table_),
                            static_cast<QWidget*>(notes_)})
        widget->setVisible(any);
    fitLabelsToViewport(*this, {noneLabel_, notes_, reading_});
}

bool UpdatesPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == viewport())
        fitLabelsToViewport(*this, {noneLabel_, notes_, reading_});
    return QScrollArea::eventFilter(watched, event);
}

} // namespace caldrin::auditwindow
