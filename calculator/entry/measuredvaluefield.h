// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/measurement.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;

namespace caldrin {

// The measured value of one factor, typed below its options: the number, its
// unit (a selector where there are several), and two notes: what the value
// comes to (a conversion, a rounding or a refusal) and, when the option chosen
// by hand differs from the value's grade, both of them. The field grades when
// its text is finished (Enter, Tab, leaving it) and when its unit changes; it
// never changes the option itself, it reports the grade to the page.
//
// Its controls are named after the group they serve: <group>_Value,
// <group>_Unit, <group>_Reading, <group>_Disagreement.
class MeasuredValueField : public QWidget {
    Q_OBJECT
public:
    MeasuredValueField(const FactorDef& def, const MeasuredFactor& measured, const QString& group,
                       QWidget* parent);

    QLineEdit* valueEdit() const { return valueEdit_; }
    QComboBox* unitBox() const { return unitBox_; } // null for a factor with one unit

    // Empties the value and its notes; the unit stays.
    void clear();
    // Takes the unit with this label, as remembered from an earlier run.
    void selectUnit(const QString& label);
    // The decimal separator the user's regional settings give.
    void setDecimalSeparator(QChar separator) { separator_ = separator; }

    // The option the value grades: none while the field is empty or refused.
    std::optional<std::size_t> gradedPosition() const { return graded_; }
    // The refusal shown, empty when there is none.
    QString refusal() const;

    // The option chosen in the group now (-1: none); notes a disagreement.
    void compareWithChoice(int chosen);

Q_SIGNALS:
    // A value was finished and grades the option at `position`.
    void valueGraded(int position);
    // The user picked another unit.
    void unitPicked(const QString& label);

private:
    void grade();
    void describeForScreenReaders();
    void fitWindow();
    QString optionText(std::size_t position) const;

    const FactorDef& def_;
    const MeasuredFactor& measured_;
    QLineEdit* valueEdit_;
    QComboBox* unitBox_ = nullptr;
    QLabel* readingNote_;
    QLabel* disagreementNote_;
    QChar separator_ = QLatin1Char('.');
    std::optional<std::size_t> graded_;
    bool refused_ = false;
    int chosen_ = -1;
};

} // namespace caldrin
