// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/measuredvaluefield.h"

#include "widgets/contrast.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace caldrin {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString pointsWords(std::uint8_t points) {
    return points == 1 ? QStringLiteral("1 point") : QStringLiteral("%1 points").arg(points);
}

QLabel* makeNote(const QString& name, QWidget* parent) {
    auto* note = new QLabel(parent);
    note->setObjectName(name);
    note->setWordWrap(true);
    note->setFocusPolicy(Qt::NoFocus);
    note->setTextFormat(Qt::PlainText);
    note->hide();
    return note;
}

// A note that asks for attention: a red that reads well on the window's background.
void showWarning(QLabel* note, const QString& text) {
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText,
                     readableOn(QColor(0xB0, 0x00, 0x20), palette.color(QPalette::Window)));
    note->setPalette(palette);
    note->setText(text);
    note->show();
}

void showPlain(QLabel* note, const QString& text) {
    note->setPalette(QPalette());
    note->setText(text);
    note->setVisible(!text.isEmpty());
}

} // namespace

MeasuredValueField::MeasuredValueField(const FactorDef& def, const MeasuredFactor& measured,
                                       const QString& group, QWidget* parent)
    : QWidget(parent)
    , def_(def)
    , measured_(measured)
    , valueEdit_(new QLineEdit(this))
    , readingNote_(makeNote(group + QStringLiteral("_Reading"), this))
    , disagreementNote_(makeNote(group + QStringLiteral("_Disagreement"), this)) {
    valueEdit_->setObjectName(group + QStringLiteral("_Value"));
    valueEdit_->setMaxLength(12);
    valueEdit_->setPlaceholderText(QStringLiteral("value"));
    valueEdit_->setFixedWidth(
        valueEdit_->fontMetrics().horizontalAdvance(QStringLiteral("0000.00")) + 16);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(valueEdit_);
    if (measured.units.size() > 1) {
        unitBox_ = new QComboBox(this);
        unitBox_->setObjectName(group + QStringLiteral("_Unit"));
        for (const MeasurementUnit& unit : measured.units)
            unitBox_->addItem(fromUtf8(unit.label));
        unitBox_->setAccessibleName(fromUtf8(def.name) + QStringLiteral(" unit"));
        row->addWidget(unitBox_);
        connect(unitBox_, &QComboBox::activated, this, [this] {
            Q_EMIT unitPicked(unitBox_->currentText());
            describeForScreenReaders();
            if (!valueEdit_->text().trimmed().isEmpty())
                grade();
        });
    } else {
        auto* unit = new QLabel(fromUtf8(measured.units.front().symbol), this);
        unit->setBuddy(valueEdit_);
        row->addWidget(unit);
    }
    row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(row);
    layout->addWidget(readingNote_);
    layout->addWidget(disagreementNote_);

    connect(valueEdit_, &QLineEdit::editingFinished, this, &MeasuredValueField::grade);
    describeForScreenReaders();
}

void MeasuredValueField::clear() {
    valueEdit_->clear();
    graded_.reset();
    refused_ = false;
    chosen_ = -1;
    readingNote_->hide();
    disagreementNote_->hide();
    describeForScreenReaders();
}

void MeasuredValueField::selectUnit(const QString& label) {
    if (!unitBox_)
        return;
    const int index = unitBox_->findText(label);
    if (index >= 0)
        unitBox_->setCurrentIndex(index);
    describeForScreenReaders();
}

QString MeasuredValueField::refusal() const {
    return refused_ ? readingNote_->text() : QString();
}

void MeasuredValueField::grade() {
    // Leaving a value unfinished by closing the page (Cancel, Escape) is not
    // finishing it: the page keeps what it had.
    if (window()->isHidden())
        return;
    const QString text = valueEdit_->text().trimmed();
    graded_.reset();
    refused_ = false;
    if (text.isEmpty()) {
        // The grade stays as it is: emptying a value is not a choice.
        readingNote_->hide();
        compareWithChoice(chosen_);
        return;
    }
    const std::size_t unit = unitBox_ ? std::size_t(unitBox_->currentIndex()) : 0;
    const QByteArray typed = text.toUtf8();
    const MeasuredReading reading = readMeasurement(
        measured_, unit, std::string_view(typed.constData(), typed.size()), separator_.toLatin1());
    if (!reading.position) {
        refused_ = true;
        showWarning(readingNote_, fromUtf8(reading.refusal));
        compareWithChoice(chosen_);
        return;
    }
    graded_ = reading.position;
    showPlain(readingNote_, fromUtf8(reading.reading));
    describeForScreenReaders();
    fitWindow();
    Q_EMIT valueGraded(int(*graded_));
}

// A note shown on an open page may need more lines than the window has: the
// window grows to hold them (never shrinks, so it does not jump back and forth).
void MeasuredValueField::fitWindow() {
    QWidget* page = window();
    if (!page->isVisible() || !page->layout())
        return;
    page->layout()->activate();
    const int needed = page->hasHeightForWidth() ? page->heightForWidth(page->width())
                                                 : page->minimumSizeHint().height();
    if (needed > page->height())
        page->resize(page->width(), needed);
}

void MeasuredValueField::compareWithChoice(int chosen) {
    chosen_ = chosen;
    if (graded_ && chosen >= 0 && std::size_t(chosen) != *graded_) {
        showWarning(disagreementNote_,
                    QStringLiteral("The value grades \u201C%1\u201D (%2); the option chosen "
                                   "gives %3.")
                        .arg(optionText(*graded_), pointsWords(pointsOf(def_, *graded_)),
                             pointsWords(pointsOf(def_, std::size_t(chosen)))));
    } else {
        disagreementNote_->hide();
    }
    describeForScreenReaders();
    fitWindow();
}

QString MeasuredValueField::optionText(std::size_t position) const {
    const std::string_view option = def_.options[position];
    return QString::fromLatin1(option.data(), qsizetype(option.size())).trimmed();
}

// A screen reader names the field with its unit and reads what the value came to.
void MeasuredValueField::describeForScreenReaders() {
    const QString unit =
        unitBox_ ? unitBox_->currentText() : fromUtf8(measured_.units.front().label);
    valueEdit_->setAccessibleName(fromUtf8(def_.name) + QStringLiteral(" value in ") + unit);
    QString description;
    if (refused_) {
        description = readingNote_->text();
    } else if (graded_) {
        description = QStringLiteral("Grades %1, %2.")
                          .arg(optionText(*graded_), pointsWords(pointsOf(def_, *graded_)));
        if (!readingNote_->text().isEmpty())
            description += QLatin1Char(' ') + readingNote_->text() + QLatin1Char('.');
        if (disagreementNote_->isVisibleTo(this))
            description += QLatin1Char(' ') + disagreementNote_->text();
    }
    valueEdit_->setAccessibleDescription(description);
}

} // namespace caldrin
