// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"

#include <QDate>
#include <QWidget>

#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;

namespace caldrin::auditwindow {

class DateField;

// Days as the engine counts them, and back.
QDate qDateOf(std::int32_t day);
audit::Date dateOf(const QDate& date);

// The bar above the pages: the model whose bands and charts are shown, and
// the date range (typed, or one of the periods a meeting asks for) with the
// reason a typed date was refused.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    // Numeric dates are typed in the files' order.
    explicit FilterBar(const audit::ReadOptions& read, QWidget* parent = nullptr);

    audit::Model pickedModel() const;
    // Sets the analysis's range, when one is chosen.
    void applyRange(audit::AnalysisOptions& options) const;
    // A new set of files: the range starts as all their dates, switched off.
    // Takes the dates still being typed, as leaving their fields would, so
    // that what is on screen is what the next analysis covers.
    void commitTypedDates();
    void showDatesOf(const std::optional<std::pair<std::int32_t, std::int32_t>>& dayRange);

Q_SIGNALS:
    void modelPicked();
    void rangeChanged();

private:
    void setRange(const QDate& from, const QDate& to);
    void fillPeriods(const QDate& first, const QDate& last);
    void pickPeriod(int index);
    void showPeriodOfDates();

    QComboBox* modelPicker_ = nullptr;
    QCheckBox* rangeCheck_ = nullptr;
    DateField* fromDate_ = nullptr;
    DateField* toDate_ = nullptr;
    QComboBox* periodPicker_ = nullptr;
    QLabel* dateRefusal_ = nullptr;
};

} // namespace caldrin::auditwindow
