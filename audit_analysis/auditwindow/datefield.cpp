// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/datefield.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace caldrin::auditwindow {

namespace {

const std::array<QString, 12> kMonths = {
    QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),
    QStringLiteral("april"),   QStringLiteral("may"),      QStringLiteral("june"),
    QStringLiteral("july"),    QStringLiteral("august"),   QStringLiteral("september"),
    QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december")};

// "Sep", "Sept" and "September" all name September; fewer than three letters
// name no month.
int monthNamed(const QString& word) {
    const QString lower = word.toLower();
    if (lower.size() < 3)
        return 0;
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (kMonths[m].startsWith(lower))
            return static_cast<int>(m) + 1;
    return 0;
}

// Editing keys stay with the text; every other Ctrl shortcut (Export, Print,
// Open...) belongs to the window, even where the line edit would take it as
// a cursor movement.
bool isEditingKey(QKeyEvent* key) {
    for (const QKeySequence::StandardKey standard :
         {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
          QKeySequence::Redo, QKeySequence::SelectAll})
        if (key->matches(standard))
            return true;
    return !(key->modifiers() & Qt::ControlModifier);
}

} // namespace

DateField::DateField(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    edit_ = new QLineEdit;
    edit_->setObjectName(QStringLiteral("dateText"));
    edit_->setPlaceholderText(QStringLiteral("30 Sep 2024"));
    edit_->setToolTip(
        QStringLiteral("Type a date such as 30 Sep 2024 or 2024-09-30; F4 opens the calendar."));
    edit_->setMinimumWidth(edit_->fontMetrics().horizontalAdvance(QStringLiteral("30 Sep 2024")) +
                           16);
    edit_->installEventFilter(this);
    button_ = new QToolButton;
    button_->setObjectName(QStringLiteral("calendarButton"));
    button_->setArrowType(Qt::DownArrow);
    button_->setToolTip(QStringLiteral("Calendar (F4)"));
    button_->setAccessibleName(QStringLiteral("Calendar"));
    button_->setFocusPolicy(Qt::NoFocus); // F4 does the same from the keyboard
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    setFocusProxy(edit_);

    popup_ = new QWidget(this, Qt::Popup);
    auto* popupLayout = new QVBoxLayout(popup_);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    calendar_ = new QCalendarWidget;
    calendar_->setObjectName(QStringLiteral("calendar"));
    calendar_->setGridVisible(true);
    popupLayout->addWidget(calendar_);

    connect(edit_, &QLineEdit::editingFinished, this, &DateField::commitText);
    connect(button_, &QToolButton::clicked, this, &DateField::showCalendar);
    connect(calendar_, &QCalendarWidget::activated, this, [this](QDate picked) {
        popup_->hide();
        take(picked, shown(picked));
        edit_->setFocus();
    });
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate picked) {
        popup_->hide();
        take(picked, shown(picked));
    });
}

QString DateField::shown(const QDate& date) {
    if (!date.isValid())
        return {};
    // Month names in English whatever the locale: the same text parse() reads.
    QString month = kMonths[static_cast<std::size_t>(date.month() - 1)].left(3);
    month[0] = month[0].toUpper();
    return QStringLiteral("%1 %2 %3").arg(date.day()).arg(month).arg(date.year());
}

std::optional<QDate> DateField::parse(const QString& text, DateOrder order, int currentYear) {
    const QString trimmed = text.trimmed();
    static const QRegularExpression named(
        QStringLiteral("^(\\d{1,2})[\\s-]+([A-Za-z]+)\\.?[\\s-]+(\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    QDate date;
    if (const QRegularExpressionMatch m = named.match(trimmed); m.hasMatch()) {
        const int month = monthNamed(m.captured(2));
        if (month == 0)
            return std::nullopt;
        date = QDate(m.captured(3).toInt(), month, m.captured(1).toInt());
    } else if (const QRegularExpressionMatch m = iso.match(trimmed); m.hasMatch()) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    } else {
        const std::optional<audit::Date> numeric =
            audit::readProcedureDate(trimmed.toStdString(), order, currentYear);
        if (!numeric)
            return std::nullopt;
        date = QDate(numeric->year, numeric->month, numeric->day);
    }
    if (!date.isValid())
        return std::nullopt;
    return date;
}

void DateField::setDate(const QDate& date) {
    edit_->setText(shown(date));
    if (date == date_)
        return;
    date_ = date;
    calendar_->setSelectedDate(date);
    Q_EMIT dateChanged(date_);
}

void DateField::setEarliest(const QDate& earliest, const QString& what) {
    earliest_ = earliest;
    earliestWhat_ = what;
}

void DateField::setLatest(const QDate& latest, const QString& what) {
    latest_ = latest;
    latestWhat_ = what;
}

void DateField::setNumericOrder(DateOrder order, int currentYear) {
    order_ = order;
    currentYear_ = currentYear;
}

void DateField::showCalendar() {
    if (!isEnabled())
        return;
    calendar_->setSelectedDate(date_);
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(0, height())));
    popup_->show();
    calendar_->setFocus();
}

void DateField::commitText() {
    const QString text = edit_->text();
    if (text == shown(date_))
        return;
    const std::optional<QDate> date = parse(text, order_, currentYear_);
    if (!date) {
        edit_->setText(shown(date_));
        Q_EMIT refused(QStringLiteral("\u201c%1\u201d is not a date: type it as 30 Sep 2024 or "
                                      "2024-09-30. The date stays %2.")
                           .arg(text.trimmed(), shown(date_)));
        return;
    }
    take(*date, text.trimmed());
}

void DateField::take(const QDate& date, const QString& asTyped) {
    QString reason;
    if (earliest_.isValid() && date < earliest_)
        reason =
            QStringLiteral("%1 is before %2, %3").arg(asTyped, earliestWhat_, shown(earliest_));
    else if (latest_.isValid() && date > latest_)
        reason = QStringLiteral("%1 is after %2, %3").arg(asTyped, latestWhat_, shown(latest_));
    if (!reason.isEmpty()) {
        edit_->setText(shown(date_));
        Q_EMIT refused(reason +
                       QStringLiteral(": not taken. The date stays %1.").arg(shown(date_)));
        return;
    }
    setDate(date);
    Q_EMIT accepted();
}

bool DateField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!isEditingKey(key)) {
            event->ignore();
            return true;
        }
    }
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F4 ||
            (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier))) {
            showCalendar();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DateField::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        button_->setEnabled(isEnabled());
}

} // namespace caldrin::auditwindow
