// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"

#include <QDate>
#include <QWidget>

#include <optional>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

namespace caldrin::auditwindow {

// A date typed as text or picked from a calendar (F4, Alt+Down or the
// button). A typed date is taken exactly as written or refused with the
// reason (`refused`), the date in force staying as it was: nothing is
// rounded, wrapped or clamped into another date.
class DateField : public QWidget {
    Q_OBJECT
public:
    explicit DateField(QWidget* parent = nullptr);

    QDate date() const { return date_; }
    // Sets the date as the program's own choice (no bounds checked).
    void setDate(const QDate& date);
    // A typed or picked date must not be before `earliest` or after `latest`
    // (the other end of a range); null for no bound. `what` names the bound
    // in a refusal ("the start of the range").
    void setEarliest(const QDate& earliest, const QString& what);
    void setLatest(const QDate& latest, const QString& what);
    // How numeric dates such as 30/09/2024 are read: as in the audit files.
    void setNumericOrder(DateOrder order, int currentYear);

    // Takes (or refuses) a date still being typed, as leaving the field would.
    void commitTyped() { commitText(); }

    QLineEdit* lineEdit() const { return edit_; }
    QCalendarWidget* calendar() const { return calendar_; }
    void showCalendar();

    // "d MMM yyyy", the form the field shows.
    static QString shown(const QDate& date);
    // The date `text` names: "30 Sep 2024", "30 September 2024", "2024-09-30"
    // or numbers in the given order. Nothing when it names no date.
    static std::optional<QDate> parse(const QString& text, DateOrder order, int currentYear);

Q_SIGNALS:
    // The date changed by typing, the calendar or setDate.
    void dateChanged(const QDate& date);
    // A typed or picked date was not taken; `reason` says why and what stays.
    void refused(const QString& reason);
    // A date was taken: any earlier refusal no longer applies.
    void accepted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void commitText();
    void take(const QDate& date, const QString& asTyped);

    QLineEdit* edit_ = nullptr;
    QToolButton* button_ = nullptr;
    QWidget* popup_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
    QDate date_;
    QDate earliest_;
    QDate latest_;
    QString earliestWhat_;
    QString latestWhat_;
    DateOrder order_ = DateOrder::DayMonthYear;
    int currentYear_ = 2000;
};

} // namespace caldrin::auditwindow
