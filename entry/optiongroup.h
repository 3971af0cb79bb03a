#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

namespace caldrin {

// A captioned frame of exclusive options in one column. Its options are
// rebuilt on every set-up, after which no option is chosen; it reports a choice
// only when the user makes one, by mouse or with the arrow keys. A small widget
// (a points display) can sit inside its lower right corner.
class OptionGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit OptionGroup(QWidget* parent = nullptr);

    // Replaces caption and options; afterwards no option is chosen.
    void setOptions(const QString& caption, const QStringList& options);

    int optionCount() const;
    int chosenIndex() const; // -1 while no option is chosen
    QRadioButton* optionButton(int index) const;

    // Places `widget` inside the frame's lower right corner; the group takes it over.
    void setCornerWidget(QWidget* widget);

Q_SIGNALS:
    void optionChosen(int index);

private:
    QButtonGroup* buttons_;
    QVBoxLayout* optionLayout_;
    QVBoxLayout* cornerLayout_;
};

} // namespace caldrin
