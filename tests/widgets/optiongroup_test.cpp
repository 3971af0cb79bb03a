// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/optiongroup.h"

#include "entrytesting.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace caldrin;
using caldrin::testing::clickOption;
using caldrin::testing::focusOwner;
using caldrin::testing::pressKey;

namespace {

QStringList optionTexts(const OptionGroup& group) {
    QStringList texts;
    for (int i = 0; i < group.optionCount(); ++i)
        texts << group.optionButton(i)->text();
    return texts;
}

} // namespace

class OptionGroupTest : public QObject {
    Q_OBJECT

    // Two groups and a button in one active window, as on a score page.
    std::unique_ptr<QWidget> window_;
    OptionGroup* first_ = nullptr;
    OptionGroup* second_ = nullptr;
    QPushButton* after_ = nullptr;

private Q_SLOTS:
    void init() {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        first_ = new OptionGroup(window_.get());
        first_->setObjectName(QStringLiteral("first"));
        second_ = new OptionGroup(window_.get());
        second_->setObjectName(QStringLiteral("second"));
        after_ = new QPushButton(QStringLiteral("After"), window_.get());
        after_->setObjectName(QStringLiteral("after"));
        layout->addWidget(first_);
        layout->addWidget(second_);
        layout->addWidget(after_);
        first_->setOptions(QStringLiteral("First"), {"a", "b", "c", "d"});
        second_->setOptions(QStringLiteral("Second"), {"x", "y", "z"});
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // state: a choice made, then rebuilt several times / expected: latest list, no choice, no
    // signal
    void setOptionsRebuildsWithNoChoice() {
        QSignalSpy chosen(first_, &OptionGroup::optionChosen);
        clickOption(*first_, 2);
        QCOMPARE(first_->chosenIndex(), 2);

        for (int round = 0; round < 5; ++round)
            first_->setOptions(QStringLiteral("Heading "), {"<= 60 ", "61-70", ">= 71"});

        QCOMPARE(first_->title(), QStringLiteral("Heading "));
        QCOMPARE(first_->accessibleName(), QStringLiteral("Heading "));
        QCOMPARE(optionTexts(*first_), QStringList({"<= 60 ", "61-70", ">= 71"}));
        QCOMPARE(first_->findChildren<QRadioButton*>().size(), 3);
        QCOMPARE(first_->chosenIndex(), -1);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!first_->optionButton(i)->isChecked());
        QCOMPARE(chosen.count(), 1); // the click only
    }

    // A choice the program makes (from a typed value) is not the user's: no
    // signal, but the group shows it and Tab enters at it.
    void programsChoiceIsShownButNotReported() {
        QSignalSpy chosen(first_, &OptionGroup::optionChosen);
        clickOption(*first_, 1);
        first_->setChosenIndex(3);
        QCOMPARE(first_->chosenIndex(), 3);
        QVERIFY(!first_->optionButton(1)->isChecked());
        QCOMPARE(first_->tabStop(), first_->optionButton(3));
        QCOMPARE(chosen.count(), 1); // the click only
        first_->setChosenIndex(7);   // no such option: nothing changes
        QCOMPARE(first_->chosenIndex(), 3);
    }

    void mouseChoiceIsReportedAndReplaced() {
        QSignalSpy chosen(first_, &OptionGroup::optionChosen);
        clickOption(*first_, 3);
        clickOption(*first_, 1);
        QCOMPARE(chosen.count(), 2);
        QCOMPARE(chosen.at(0).at(0).toInt(), 3);
        QCOMPARE(chosen.at(1).at(0).toInt(), 1);
        QCOMPARE(first_->chosenIndex(), 1);
        QVERIFY(!first_->optionButton(3)->isChecked());
    }

    void arrowKeysMoveAndChoose_data() {
        QTest::addColumn<int>("chosenBefore"); // -1: no choice, focus on the first option
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("down from no choice") << -1 << int(Qt::Key_Down) << 1;
        QTest::newRow("right from no choice") << -1 << int(Qt::Key_Right) << 1;
        QTest::newRow("up from no choice wraps to the last") << -1 << int(Qt::Key_Up) << 3;
        QTest::newRow("space chooses the focused option") << -1 << int(Qt::Key_Space) << 0;
        QTest::newRow("up") << 2 << int(Qt::Key_Up) << 1;
        QTest::newRow("left") << 2 << int(Qt::Key_Left) << 1;
        QTest::newRow("down") << 2 << int(Qt::Key_Down) << 3;
        QTest::newRow("down from the last wraps to the first") << 3 << int(Qt::Key_Down) << 0;
    }
    void arrowKeysMoveAndChoose() {
        QFETCH(int, chosenBefore);
        QFETCH(int, key);
        QFETCH(int, expected);
        if (chosenBefore >= 0)
            clickOption(*first_, chosenBefore);
        first_->setFocus();
        QCOMPARE(QApplication::focusWidget(), first_->optionButton(std::max(chosenBefore, 0)));
        QSignalSpy chosen(first_, &OptionGroup::optionChosen);

        pressKey(Qt::Key(key));

        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toInt(), expected);
        QCOMPARE(first_->chosenIndex(), expected);
        QCOMPARE(QApplication::focusWidget(), first_->optionButton(expected));
    }

    // Tab passes each group as one stop: its chosen option, or its first.
    void tabStopsOncePerGroup() {
        clickOption(*second_, 2);
        first_->setFocus();
        QStringList stops;
        for (int i = 0; i < 3; ++i) {
            pressKey(Qt::Key_Tab);
            stops << focusOwner();
        }
        QCOMPARE(stops, QStringList({"second", "after", "first"}));
        QCOMPARE(QApplication::focusWidget(), first_->optionButton(0));
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second_->optionButton(2));
        pressKey(Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), first_->optionButton(0));
    }

    // A set-up under the user's fingers neither drops the focus nor moves the
    // group in the keyboard order.
    void settingUpAFocusedGroupKeepsTheFocusInIt() {
        clickOption(*first_, 2);
        first_->setOptions(QStringLiteral("First"), {"a", "b", "c", "d"});
        QCOMPARE(focusOwner(), QStringLiteral("first"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(focusOwner(), QStringLiteral("second"));
        pressKey(Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), first_->optionButton(0));

        // Fewer options than before: the focused one may go, the focus stays.
        clickOption(*first_, 3);
        first_->setOptions(QStringLiteral("First"), {"a", "b"});
        QCOMPARE(first_->optionCount(), 2);
        QCOMPARE(QApplication::focusWidget(), first_->optionButton(0));
        pressKey(Qt::Key_Tab);
        QCOMPARE(focusOwner(), QStringLiteral("second"));
    }

    void cornerWidgetSitsInsideTheLowerRightCorner() {
        auto* display = new QLineEdit(first_);
        display->setFixedWidth(30);
        first_->setCornerWidget(display);
        window_->resize(400, 400);
        QTRY_VERIFY(display->isVisible());
        QCoreApplication::processEvents();

        const QRect inGroup(display->mapTo(first_, QPoint(0, 0)), display->size());
        QVERIFY(first_->rect().contains(inGroup));
        QVERIFY2(first_->width() - inGroup.right() < 20, "not at the right edge");
        QVERIFY2(first_->height() - inGroup.bottom() < 20, "not at the bottom edge");
        for (int i = 0; i < first_->optionCount(); ++i)
            QVERIFY(!first_->optionButton(i)->geometry().intersects(inGroup));
    }
};

QTEST_MAIN(OptionGroupTest)
#include "optiongroup_test.moc"
