// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/filterbar.h"

#include "auditwindow/datefield.h"
#include "auditwindow/modelnames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <array>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

QDate qDateOf(std::int32_t day) {
    const Date d = dateFromDayNumber(day);
    return QDate(d.year, d.month, d.day);
}

Date dateOf(const QDate& date) {
    return Date{date.year(), date.month(), date.day()};
}

FilterBar::FilterBar(const ReadOptions& read, QWidget* parent)
    : QWidget(parent) {
    // Two rows (the model; the dates), so that the window fits 800 pixels,
    // and below them why a typed date was not taken, until one is.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* modelRow = new QHBoxLayout;
    auto* layout = new QHBoxLayout;
    rows->addLayout(modelRow);
    rows->addLayout(layout);
    dateRefusal_ = new QLabel;
    dateRefusal_->setObjectName(QStringLiteral("dateRefusal"));
    dateRefusal_->setWordWrap(true);
    dateRefusal_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dateRefusal_->hide();
    QFont refusalFont = dateRefusal_->font();
    refusalFont.setBold(true);
    dateRefusal_->setFont(refusalFont);
    rows->addWidget(dateRefusal_);

    auto* modelLabel = new QLabel(QStringLiteral("&Model:"));
    modelPicker_ = new QComboBox;
    modelPicker_->setObjectName(QStringLiteral("modelPicker"));
    modelPicker_->setAccessibleName(QStringLiteral("Model"));
    for (const Model model : kAllModels)
        modelPicker_->addItem(modelName(model), static_cast<int>(model));
    modelPicker_->setCurrentIndex(static_cast<int>(Model::PPossumMortality));
    modelLabel->setBuddy(modelPicker_);
    connect(modelPicker_, &QComboBox::currentIndexChanged, this, &FilterBar::modelPicked);

    rangeCheck_ = new QCheckBox(QStringLiteral("&Date range from"));
    rangeCheck_->setObjectName(QStringLiteral("rangeCheck"));
    fromDate_ = new DateField;
    fromDate_->setObjectName(QStringLiteral("fromDate"));
    fromDate_->lineEdit()->setAccessibleName(QStringLiteral("From date"));
    auto* toLabel = new QLabel(QStringLiteral("&to"));
    toDate_ = new DateField;
    toDate_->setObjectName(QStringLiteral("toDate"));
    toDate_->lineEdit()->setAccessibleName(QStringLiteral("To date"));
    toLabel->setBuddy(toDate_);
    for (DateField* field : {fromDate_, toDate_}) {
        field->setNumericOrder(read.dateOrder, read.currentYear);
        field->setEnabled(false);
        connect(field, &DateField::dateChanged, this, &FilterBar::rangeChanged);
        connect(field, &DateField::dateChanged, this, &FilterBar::showPeriodOfDates);
        connect(field, &DateField::refused, this, [this](const QString& reason) {
            dateRefusal_->setText(reason);
            dateRefusal_->show();
        });
        connect(field, &DateField::accepted, dateRefusal_, &QLabel::hide);
    }
    // The range can never run backwards.
    connect(fromDate_, &DateField::dateChanged, this, [this](const QDate& date) {
        toDate_->setEarliest(date, QStringLiteral("the start of the range"));
    });
    connect(toDate_, &DateField::dateChanged, this, [this](const QDate& date) {
        fromDate_->setLatest(date, QStringLiteral("the end of the range"));
    });
    connect(rangeCheck_, &QCheckBox::toggled, this, [this](bool on) {
        fromDate_->setEnabled(on);
        toDate_->setEnabled(on);
        if (!on)
            dateRefusal_->hide();
        showPeriodOfDates();
        Q_EMIT rangeChanged();
    });

    auto* periodLabel = new QLabel(QStringLiteral("P&eriod:"));
    periodPicker_ = new QComboBox;
    periodPicker_->setObjectName(QStringLiteral("periodPicker"));
    periodPicker_->setAccessibleName(QStringLiteral("Period"));
    periodPicker_->setPlaceholderText(QStringLiteral("Dates as set"));
    periodPicker_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    periodPicker_->setMinimumContentsLength(14);
    periodPicker_->setEnabled(false);
    periodLabel->setBuddy(periodPicker_);
    connect(periodPicker_, &QComboBox::activated, this, &FilterBar::pickPeriod);

    modelRow->addWidget(modelLabel);
    modelRow->addWidget(modelPicker_);
    modelRow->addStretch(1);
    layout->addWidget(rangeCheck_);
    layout->addWidget(fromDate_);
    layout->addWidget(toLabel);
    layout->addWidget(toDate_);
    layout->addSpacing(12);
    layout->addWidget(periodLabel);
    layout->addWidget(periodPicker_);
    layout->addStretch(1);
}

Model FilterBar::pickedModel() const {
    return static_cast<Model>(modelPicker_->currentData().toInt());
}

void FilterBar::applyRange(AnalysisOptions& options) const {
    options.from.reset();
    options.to.reset();
    if (rangeCheck_->isChecked()) {
        options.from = dateOf(fromDate_->date());
        options.to = dateOf(toDate_->date());
    }
}

void FilterBar::showDatesOf(const std::optional<std::pair<std::int32_t, std::int32_t>>& dayRange) {
    const QSignalBlocker blockCheck(rangeCheck_);
    const QSignalBlocker blockFrom(fromDate_);
    const QSignalBlocker blockTo(toDate_);
    rangeCheck_->setChecked(false);
    fromDate_->setEnabled(false);
    toDate_->setEnabled(false);
    dateRefusal_->hide();
    if (dayRange) {
        const QDate first = qDateOf(dayRange->first);
        const QDate last = qDateOf(dayRange->second);
        setRange(first, last);
        fillPeriods(first, last);
    } else {
        fillPeriods({}, {});
    }
}

// Sets both ends at once, without the checks a typed date gets (a preset's
// start may lie after the end shown before).
void FilterBar::setRange(const QDate& from, const QDate& to) {
    {
        const QSignalBlocker blockFrom(fromDate_);
        const QSignalBlocker blockTo(toDate_);
        fromDate_->setDate(from);
        toDate_->setDate(to);
    }
    toDate_->setEarliest(from, QStringLiteral("the start of the range"));
    fromDate_->setLatest(to, QStringLiteral("the end of the range"));
}

// The periods a meeting asks for, newest first: the last 12 months of the
// files, then each calendar year and quarter the files' dates touch.
void FilterBar::fillPeriods(const QDate& first, const QDate& last) {
    periodPicker_->clear();
    periodPicker_->setEnabled(first.isValid());
    if (!first.isValid())
        return;
    auto add = [this](const QString& name, const QDate& from, const QDate& to) {
        periodPicker_->addItem(name, QVariantList{from, to});
    };
    periodPicker_->addItem(QStringLiteral("All dates"));
    add(QStringLiteral("Last 12 months (to %1)").arg(DateField::shown(last)),
        last.addYears(-1).addDays(1), last);
    for (int year = last.year(); year >= first.year(); --year)
        add(QString::number(year), QDate(year, 1, 1), QDate(year, 12, 31));
    static const std::array<QString, 4> kQuarterMonths = {
        QStringLiteral("Jan\u2013Mar"), QStringLiteral("Apr\u2013Jun"),
        QStringLiteral("Jul\u2013Sep"), QStringLiteral("Oct\u2013Dec")};
    for (QDate start(last.year(), (last.month() - 1) / 3 * 3 + 1, 1); start.addMonths(3) > first;
         start = start.addMonths(-3)) {
        const int quarter = (start.month() - 1) / 3;
        add(QStringLiteral("Q%1 %2 (%3)")
                .arg(quarter + 1)
                .arg(start.year())
                .arg(kQuarterMonths[static_cast<std::size_t>(quarter)]),
            start, start.addMonths(3).addDays(-1));
    }
    showPeriodOfDates();
}

void FilterBar::commitTypedDates() {
    if (!rangeCheck_->isChecked())
        return;
    fromDate_->commitTyped();
    toDate_->commitTyped();
}

void FilterBar::pickPeriod(int index) {
    const QVariantList range = periodPicker_->itemData(index).toList();
    dateRefusal_->hide();
    if (range.size() != 2) {
        rangeCheck_->setChecked(false);
        return;
    }
    setRange(range[0].toDate(), range[1].toDate());
    if (rangeCheck_->isChecked())
        Q_EMIT rangeChanged();
    else
        rangeCheck_->setChecked(true); // says the range changed
    periodPicker_->setCurrentIndex(index);
}

// The picker names the period the dates make, or nothing ("Dates as set").
void FilterBar::showPeriodOfDates() {
    int shown = -1;
    for (int i = 0; i < periodPicker_->count(); ++i) {
        const QVariantList range = periodPicker_->itemData(i).toList();
        if (range.size() != 2
                ? !rangeCheck_->isChecked()
                : rangeCheck_->isChecked() && range[0].toDate() == fromDate_->date() &&
                      range[1].toDate() == toDate_->date())
            shown = i;
    }
    periodPicker_->setCurrentIndex(shown);
}

} // namespace caldrin::auditwindow
