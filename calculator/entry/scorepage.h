// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entry/pagelayout.h"
#include "scoring/assessment.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QLineEdit;
class QPushButton;

namespace caldrin {

class MeasuredValueField;
class OptionGroup;
class Platform;

// What the three score-entry windows share: one option group per factor of
// their page, each with its points display in its lower right corner; Help,
// Cancel and OK in a row above the groups at the right. The window has no
// title-bar buttons and is shown modeless; the program places it over the
// main window.
//
// A choice writes the factor's points into the Assessment at once; OK checks
// that every factor of the page has a choice (else takes the focus to the
// first unanswered group), hides the window and hands the page's points total
// to the subclass; Cancel (and Escape) hides the window and leaves the choices
// as they are.
//
// A factor with a measured value has a value field below its options. A
// finished value chooses the option it grades while the group has no choice
// or its choice came from a value; an option picked by hand is never changed
// by a value, nor a value by an option: where they differ, the field says so.
// OK is refused while a field shows a refused value.
class ScorePage : public QDialog {
    Q_OBJECT
public:
    // The text of `factor`'s points display; empty for a factor of another page.
    QString pointsDisplayText(Factor factor) const;

    // Escape and the desktop's close request run exactly what Cancel runs.
    void reject() override;

    // Puts the keyboard focus on the page's first group.
    void focusFirstGroup();

Q_SIGNALS:
    void scoreCancelled();
    void helpRequested(const QString& topic);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    ScorePage(Platform& platform, Assessment& assessment, Page page, const QString& caption,
              QWidget* parent);

    // Rebuilds captions and option lists, leaves no choice, empties the points
    // displays, sets the page's factor points to 0 and restores the keyboard order.
    void setUpPage();

    OptionGroup* groupOf(Factor factor) const;

    // OK found every factor answered; the window is already hidden.
    virtual void pageConfirmed(std::uint8_t pageTotal) = 0;

private:
    struct Entry {
        const FactorDef* def;
        OptionGroup* group;
        QLineEdit* display;
        MeasuredValueField* field; // null for a factor graded by hand only
        bool chosenByValue;        // the group's choice came from the field's value
    };

    void buildControls();
    void fillGroups();
    void factorChosen(const Entry& entry, int position);
    void addValueField(Entry& entry);
    void valueGraded(Entry& entry, int position);
    void okClicked();
    void cancelClicked();
    void helpClicked();
    const Entry* entryOf(Factor factor) const;

    Platform& platform_;
    Assessment& assessment_;
    const Page page_;
    std::vector<Entry> entries_; // keyboard order; empty until the controls are built
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* helpButton = nullptr;
};

} // namespace caldrin
