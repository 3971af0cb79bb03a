// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/problemspage.h"

#include "auditwindow/auditloader.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/sourceline.h"
#include "auditwindow/summarypage.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QVBoxLayout>

namespace caldrin::auditwindow {

ProblemsPage::ProblemsPage(QWidget* parent)
    : QWidget(parent) {
    model_ = new FigureTableModel(this);
    auto* layout = new QVBoxLayout(this);
    table_ = makeTableView(model_, QStringLiteral("problemTable"),
                           QStringLiteral("Reading problems and exclusions"));
    table_->setWordWrap(true);
    connect(table_, &QTableView::doubleClicked, this, &ProblemsPage::showSourceLine);
    connect(table_, &QTableView::activated, this, &ProblemsPage::showSourceLine);
    lineView_ = new QPlainTextEdit;
    lineView_->setObjectName(QStringLiteral("lineView"));
    lineView_->setAccessibleName(QStringLiteral("Line in the file"));
    lineView_->setReadOnly(true);
    lineView_->setTabChangesFocus(true);
    lineView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lineView_->setMaximumHeight(90);
    lineView_->setPlaceholderText(
        QStringLiteral("Double-click a problem, or press Enter on it, to see its line here."));
    auto* label = new QLabel(QStringLiteral("L&ine in the file:"));
    label->setBuddy(lineView_);
    layout->addWidget(table_, 1);
    layout->addWidget(label);
    layout->addWidget(lineView_);
}

void ProblemsPage::show(std::shared_ptr<const AuditLoad> load) {
    load_ = std::move(load);
    model_->setTable(problemTable(*load_->data, load_->result));
    table_->resizeColumnsToContents();
}

void ProblemsPage::clearLine() {
    lineView_->clear();
}

void ProblemsPage::showSourceLine(const QModelIndex& index) {
    if (!index.isValid() || !load_)
        return;
    const TableRow& row = model_->table().rows[static_cast<std::size_t>(index.row())];
    if (!row.file || row.line == 0) {
        lineView_->setPlainText(row.cells.value(2));
        return;
    }
    const QString path = QString::fromUtf8(load_->data->files()[*row.file].path);
    const std::optional<QString> text = readSourceLine(path, row.line);
    lineView_->setPlainText(
        QStringLiteral("%1, line %2:\n%3")
            .arg(path)
            .arg(row.line)
            .arg(text ? *text : QStringLiteral("(the line can no longer be read)")));
}

} // namespace caldrin::auditwindow
