// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

namespace caldrin {

// A captioned frame of exclusive options in one column. Its options are
// rebuilt on every set-up, after which no option is chosen; it reports a choice
// only when the user makes one, by mouse or from the keyboard (the arrow keys
// move to the next or previous option and choose it, wrapping round at the
// ends; Space chooses the option that has the focus). The group is a single
// Tab stop: the chosen option, or the first while none is chosen. A small
// widget (a points display) can sit inside its lower right corner, and another
// below the options, beside it.
class OptionGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit OptionGroup(QWidget* parent = nullptr);

    // Replaces caption and options; afterwards no option is chosen and the
    // options are listed once each, however often it runs. The caption is also
    // the group's accessible name.
    void setOptions(const QString& caption, const QStringList& options);

    int optionCount() const;
    int chosenIndex() const; // -1 while no option is chosen
    QRadioButton* optionButton(int index) const;

    // The option that Tab stops at: the chosen one, else the first (null while
    // there are no options). Setting the focus on the group puts it there.
    QRadioButton* tabStop() const;

    // Places `widget` inside the frame's lower right corner; the group takes it over.
    void setCornerWidget(QWidget* widget);
    // Places `widget` below the options, left of the corner; the group takes it over.
    void setFooterWidget(QWidget* widget);

    // Chooses the option at `index` as the program's own act: no optionChosen.
    void setChosenIndex(int index);

Q_SIGNALS:
    void optionChosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onButtonClicked(int index);
    void updateTabStop();

    QButtonGroup* buttons_;
    QVBoxLayout* optionLayout_;
    QVBoxLayout* footerLayout_;
    QVBoxLayout* cornerLayout_;
};

} // namespace caldrin
