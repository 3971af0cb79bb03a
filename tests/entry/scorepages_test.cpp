// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/factorhelp.h"
#include "entry/measuredvaluefield.h"
#include "entry/operativedialog.h"
#include "entry/pagelayout.h"
#include "entry/physiologicalpages.h"
#include "widgets/optiongroup.h"

#include "entrytesting.h"
#include "fakeplatform.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <QWhatsThis>
#include <QWhatsThisClickedEvent>

#include <algorithm>

#include <memory>

using namespace caldrin;
using caldrin::testing::clickOption;
using caldrin::testing::FakePlatform;
using caldrin::testing::focusOwner;
using caldrin::testing::pressKey;

namespace {

const QString kInvalidData = QStringLiteral("Invalid data. You must enter data in each box.");

// Page 2 opened on its own gets this page-1 subtotal.
constexpr quint8 kSubtotal = 30;

QString fromTable(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// The three score windows as start-up wires them: page 1's OK opens page 2.
struct Dialogs {
    // Stands in for the main window, which is active when the user opens a dialog.
    QWidget mainWindow;
    FakePlatform platform;
    Assessment assessment;
    PhysiologicalPage1 page1{platform, assessment};
    PhysiologicalPage2 page2{platform, assessment};
    OperativeDialog operative{platform, assessment};

    Dialogs() {
        QObject::connect(&page1, &PhysiologicalPage1::completed, &page2,
                         &PhysiologicalPage2::startPage2);
    }

    ScorePage& window(Page page) {
        switch (page) {
        case Page::Physiological1:
            return page1;
        case Page::Physiological2:
            return page2;
        case Page::Operative:
            break;
        }
        return operative;
    }

    // The signal that a confirmed page sends.
    std::unique_ptr<QSignalSpy> spyConfirmed(Page page) {
        switch (page) {
        case Page::Physiological1:
            return std::make_unique<QSignalSpy>(&page1, &PhysiologicalPage1::completed);
        case Page::Physiological2:
            return std::make_unique<QSignalSpy>(&page2, &PhysiologicalPage2::scoreConfirmed);
        case Page::Operative:
            break;
        }
        return std::make_unique<QSignalSpy>(&operative, &OperativeDialog::scoreConfirmed);
    }

    void setUp(Page page) {
        switch (page) {
        case Page::Physiological1:
            page1.SetUpForm2();
            break;
        case Page::Physiological2:
            page2.SetUpForm3();
            break;
        case Page::Operative:
            operative.SetUpForm4();
            break;
        }
    }

    // As the main window opens page 1 and the operative dialog; page 2 as
    // page 1's OK opens it.
    void open(Page page) {
        mainWindow.show();
        mainWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&mainWindow));
        if (page == Page::Physiological2) {
            page2.startPage2(kSubtotal);
        } else {
            setUp(page);
            ScorePage& w = window(page);
            w.show();
            w.raise();
            w.activateWindow();
            if (page == Page::Physiological1)
                page1.focusAgeGroup();
        }
        QTRY_COMPARE(QApplication::activeWindow(), &window(page));
    }
};

OptionGroup* groupOf(ScorePage& w, const FactorDef& def) {
    return w.findChild<OptionGroup*>(
        QStringLiteral("RadioGroup%1").arg(placeOf(def.factor).groupNumber));
}

QLineEdit* displayOf(ScorePage& w, const FactorDef& def) {
    return w.findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(placeOf(def.factor).groupNumber));
}

// The topics of the help file as the help viewer finds them: its anchors.
QSet<QString> helpFileTopics() {
    QFile file(QStringLiteral(CALDRIN_HELP_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    QSet<QString> topics;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QStringList names = it.fragment().charFormat().anchorNames();
            for (const QString& name : names)
                topics.insert(name);
        }
    }
    return topics;
}

// A "What's This" text is shown in a window of its own.
bool whatsThisShown() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::ranges::any_of(
        windows, [](const QWidget* w) { return w->isVisible() && w->inherits("QWhatsThat"); });
}

QPushButton* button(ScorePage& w, const char* name) {
    return w.findChild<QPushButton*>(QLatin1String(name));
}

void clickOk(ScorePage& w) {
    QTest::mouseClick(button(w, "BitBtn1"), Qt::LeftButton);
}

// Answers every factor of the page with its first or its last option, then
// confirms: by mouse, or from the keyboard starting in the page's first group
// (Tab between groups, Enter at the end).
void answerAllAndConfirm(ScorePage& w, Page page, bool byKeyboard, bool lastOptions) {
    const auto defs = factorsInKeyboardOrder(page);
    for (std::size_t k = 0; k < defs.size(); ++k) {
        if (byKeyboard) {
            // Space chooses the focused first option; Up wraps round to the last.
            pressKey(lastOptions ? Qt::Key_Up : Qt::Key_Space);
            // Past the value field (and unit) of a measured factor, to the next group.
            if (k + 1 < defs.size()) {
                const QString next = groupOf(w, *defs[k + 1])->objectName();
                for (int step = 0; step < 3 && focusOwner() != next; ++step)
                    pressKey(Qt::Key_Tab);
                QCOMPARE(focusOwner(), next);
            }
        } else {
            OptionGroup* group = groupOf(w, *defs[k]);
            clickOption(*group, lastOptions ? group->optionCount() - 1 : 0);
        }
    }
    if (byKeyboard)
        pressKey(Qt::Key_Return);
    else
        clickOk(w);
}

QStringList names(std::initializer_list<int> groups) {
    QStringList list;
    for (int n : groups)
        list << QStringLiteral("RadioGroup%1").arg(n);
    return list << "BitBtn1"
                << "BitBtn2"
                << "BitBtn3";
}

// The value field of a measured factor on page 1, found as a user finds it.
QLineEdit* valueEdit(ScorePage& w, Factor factor) {
    return w.findChild<QLineEdit*>(
        QStringLiteral("RadioGroup%1_Value").arg(placeOf(factor).groupNumber));
}

// A note below the value field ("Reading", "Disagreement"): its text while shown.
QString noteOf(ScorePage& w, Factor factor, const char* note) {
    auto* label = w.findChild<QLabel*>(QStringLiteral("RadioGroup%1_%2")
                                           .arg(placeOf(factor).groupNumber)
                                           .arg(QLatin1String(note)));
    if (!label)
        return QStringLiteral("(no note)");
    return label->isHidden() ? QString() : label->text();
}

// Types `text` into the control that has the focus and leaves it with Tab.
void typeAndTab(const QString& text) {
    QTest::keyClicks(QApplication::focusWidget(), text);
    pressKey(Qt::Key_Tab);
}

void addPageRows() {
    QTest::addColumn<int>("page");
    QTest::newRow("physiological page 1") << int(Page::Physiological1);
    QTest::newRow("physiological page 2") << int(Page::Physiological2);
    QTest::newRow("operative") << int(Page::Operative);
}

} // namespace

class ScorePagesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Dialogs> d;
    QTemporaryDir settingsFolder;

private Q_SLOTS:
    // The unit remembered for a factor is kept in the user's settings: here
    // in a folder of the test's own, emptied before each test.
    void initTestCase() {
        QVERIFY(settingsFolder.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("ScorePagesTest"));
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    }
    void init() {
        QSettings().clear();
        d = std::make_unique<Dialogs>();
    }
    void cleanup() { d.reset(); }

    void firstOrLastOptionsEverywhereGiveTheExtremeScores_data() {
        QTest::addColumn<bool>("operative");
        QTest::addColumn<bool>("byKeyboard");
        QTest::addColumn<bool>("lastOptions");
        QTest::addColumn<int>("subtotal"); // page 1's, physiological only
        QTest::addColumn<int>("total");
        QTest::newRow("physiological, first options, mouse") << false << false << false << 9 << 12;
        QTest::newRow("physiological, first options, keyboard")
            << false << true << false << 9 << 12;
        QTest::newRow("physiological, last options, mouse") << false << false << true << 64 << 88;
        QTest::newRow("physiological, last options, keyboard") << false << true << true << 64 << 88;
        QTest::newRow("operative, first options, mouse") << true << false << false << 0 << 6;
        QTest::newRow("operative, first options, keyboard") << true << true << false << 0 << 6;
        QTest::newRow("operative, last options, mouse") << true << false << true << 0 << 48;
        QTest::newRow("operative, last options, keyboard") << true << true << true << 0 << 48;
    }
    void firstOrLastOptionsEverywhereGiveTheExtremeScores() {
        QFETCH(bool, operative);
        QFETCH(bool, byKeyboard);
        QFETCH(bool, lastOptions);
        QFETCH(int, subtotal);
        QFETCH(int, total);
        // The dialogs report totals; storing them is the main window's business.
        d->assessment.physiologicalScore = 77;
        d->assessment.operativeScore = 33;

        std::vector<Factor> answered;
        if (operative) {
            QSignalSpy confirmed(&d->operative, &OperativeDialog::scoreConfirmed);
            d->open(Page::Operative);
            answerAllAndConfirm(d->operative, Page::Operative, byKeyboard, lastOptions);
            QVERIFY(!d->operative.isVisible());
            QCOMPARE(confirmed.count(), 1);
            QCOMPARE(confirmed.at(0).at(0).toInt(), total);
            for (const FactorDef& def : operativeFactors())
                answered.push_back(def.factor);
        } else {
            QSignalSpy completed(&d->page1, &PhysiologicalPage1::completed);
            QSignalSpy confirmed(&d->page2, &PhysiologicalPage2::scoreConfirmed);
            d->open(Page::Physiological1);
            answerAllAndConfirm(d->page1, Page::Physiological1, byKeyboard, lastOptions);
            QVERIFY(!d->page1.isVisible());
            QCOMPARE(completed.count(), 1);
            QCOMPARE(completed.at(0).at(0).toInt(), subtotal);
            QCOMPARE(d->assessment.physiologicalScore, 77);

            QVERIFY(d->page2.isVisible());
            QTRY_COMPARE(QApplication::activeWindow(), &d->page2);
            QCOMPARE(focusOwner(), QStringLiteral("RadioGroup1"));
            answerAllAndConfirm(d->page2, Page::Physiological2, byKeyboard, lastOptions);
            QVERIFY(!d->page2.isVisible());
            QCOMPARE(confirmed.count(), 1);
            QCOMPARE(confirmed.at(0).at(0).toInt(), total);
            for (const FactorDef& def : physiologicalFactors())
                answered.push_back(def.factor);
        }
        QCOMPARE(d->assessment.physiologicalScore, 77);
        QCOMPARE(d->assessment.operativeScore, 33);
        QVERIFY(d->platform.messages.empty());
        // Each factor's points are in the Assessment and on show.
        for (Factor factor : answered) {
            const std::uint8_t points = d->assessment.points(factor);
            QVERIFY(points >= 1);
            QCOMPARE(d->window(placeOf(factor).page).pointsDisplayText(factor),
                     QString::number(points));
        }
    }

    // The buttons take the desktop theme's icons, trying each agreed name in
    // turn, and the style's own icon where the theme has none.
    void buttonIconsComeFromTheDesktopTheme() {
        QTemporaryDir themes;
        QVERIFY(themes.isValid());
        const QString theme = themes.filePath(QStringLiteral("caldrin-test"));
        QVERIFY(QDir().mkpath(theme + QStringLiteral("/16x16/actions")));
        QFile index(theme + QStringLiteral("/index.theme"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=caldrin-test\nDirectories=16x16/actions\n\n"
                    "[16x16/actions]\nSize=16\nType=Fixed\n");
        index.close();
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::darkGreen);
        for (const char* name : {"dialog-ok", "process-stop"})
            QVERIFY(image.save(theme + QStringLiteral("/16x16/actions/%1.png").arg(name)));

        const QStringList searchPaths = QIcon::themeSearchPaths();
        const QString themeName = QIcon::themeName();
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("caldrin-test"));
        d->open(Page::Operative);
        const QString ok = button(d->operative, "BitBtn1")->icon().name();
        const QString cancel = button(d->operative, "BitBtn2")->icon().name();
        const QIcon help = button(d->operative, "BitBtn3")->icon();
        const QString helpName = help.name();
        QIcon::setThemeName(themeName);
        QIcon::setThemeSearchPaths(searchPaths);

        QCOMPARE(ok, QStringLiteral("dialog-ok"));
        QCOMPARE(cancel, QStringLiteral("process-stop"));
        QVERIFY(!help.isNull());
        QVERIFY(helpName.isEmpty());
    }

    void okWithOneFactorUnansweredKeepsThePage_data() {
        QTest::addColumn<int>("omitted");
        for (const FactorDef& def : allFactors())
            QTest::newRow(std::string(def.name).c_str()) << int(def.factor);
    }
    void okWithOneFactorUnansweredKeepsThePage() {
        QFETCH(int, omitted);
        const FactorDef& missing = factorDef(Factor(omitted));
        const Page page = placeOf(missing.factor).page;
        ScorePage& w = d->window(page);
        const auto confirmed = d->spyConfirmed(page);
        QSignalSpy cancelled(&w, &ScorePage::scoreCancelled);
        d->open(page);
        for (const FactorDef* def : factorsInKeyboardOrder(page)) {
            if (def != &missing)
                clickOption(*groupOf(w, *def), 1);
        }

        clickOk(w);

        QCOMPARE(d->platform.messageTexts(), QStringList{kInvalidData});
        QVERIFY(w.isVisible());
        // The keyboard is taken to the unanswered group.
        QCOMPARE(focusOwner(), groupOf(w, missing)->objectName());
        QCOMPARE(confirmed->count(), 0);
        QCOMPARE(cancelled.count(), 0);
        for (const FactorDef* def : factorsInKeyboardOrder(page)) {
            const bool answered = def != &missing;
            const std::uint8_t points = answered ? pointsOf(*def, 1) : 0;
            QCOMPARE(groupOf(w, *def)->chosenIndex(), answered ? 1 : -1);
            QCOMPARE(displayOf(w, *def)->text(), answered ? QString::number(points) : QString());
            QCOMPARE(d->assessment.points(def->factor), points);
        }
    }

    void optionPointsFollowTheFactorsScale_data() {
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("optionCount");
        const auto row = [](const char* name, Factor factor, int position, const char* shown,
                            int count) {
            QTest::newRow(name) << int(factor) << position << QString::fromLatin1(shown) << count;
        };
        row("ECG, second option", Factor::ECG, 1, "4", 3);
        row("ECG, third option", Factor::ECG, 2, "8", 3);
        row("Multiple procedures, second option", Factor::MultipleProcedures, 1, "4", 3);
        row("Multiple procedures, third option", Factor::MultipleProcedures, 2, "8", 3);
        row("Mode of surgery, second option", Factor::ModeOfSurgery, 1, "4", 3);
        row("Mode of surgery, third option", Factor::ModeOfSurgery, 2, "8", 3);
        row("Age, last option", Factor::Age, 2, "4", 3);
        row("White Cell Count, last option", Factor::WhiteCellCount, 2, "4", 3);
        row("Pulse, second option", Factor::Pulse, 1, "2", 4);
        row("Cardiac, last option", Factor::Cardiac, 3, "8", 4);
        row("Peritoneal soiling, third option", Factor::PeritonealSoiling, 2, "4", 4);
    }
    void optionPointsFollowTheFactorsScale() {
        QFETCH(int, factor);
        QFETCH(int, position);
        QFETCH(QString, shown);
        QFETCH(int, optionCount);
        const FactorDef& def = factorDef(Factor(factor));
        ScorePage& w = d->window(placeOf(def.factor).page);
        d->open(placeOf(def.factor).page);
        OptionGroup* group = groupOf(w, def);
        QCOMPARE(group->optionCount(), optionCount);

        clickOption(*group, position);

        QCOMPARE(displayOf(w, def)->text(), shown);
        QCOMPARE(w.pointsDisplayText(def.factor), shown);
        QCOMPARE(int(d->assessment.points(def.factor)), shown.toInt());
        // Another page's factor is not this window's to show.
        const Factor elsewhere =
            placeOf(def.factor).page == Page::Operative ? Factor::Age : Factor::OperativeSeverity;
        QCOMPARE(w.pointsDisplayText(elsewhere), QString());
    }

    void changingAChoiceReplacesThatFactorsPoints() {
        QSignalSpy completed(&d->page1, &PhysiologicalPage1::completed);
        d->open(Page::Physiological1);
        const FactorDef& pulse = factorDef(Factor::Pulse);
        for (const FactorDef* def : factorsInKeyboardOrder(Page::Physiological1))
            clickOption(*groupOf(d->page1, *def), def == &pulse ? 3 : 0);
        QCOMPARE(d->page1.pointsDisplayText(Factor::Pulse), QStringLiteral("8"));

        clickOption(*groupOf(d->page1, pulse), 1);
        QCOMPARE(d->page1.pointsDisplayText(Factor::Pulse), QStringLiteral("2"));
        QCOMPARE(d->assessment.points(Factor::Pulse), 2);
        clickOk(d->page1);

        QCOMPARE(completed.count(), 1);
        QCOMPARE(completed.at(0).at(0).toInt(), 8 + 2);
    }

    // However often a page is set up, it shows the table's captions and options
    // once each, with no choice; other pages' points are left alone.
    void setUpEmptiesItsOwnPageOnly_data() { addPageRows(); }
    void setUpEmptiesItsOwnPageOnly() {
        QFETCH(int, page);
        const Page p = Page(page);
        ScorePage& w = d->window(p);
        d->open(p);
        for (const FactorDef* def : factorsInKeyboardOrder(p))
            clickOption(*groupOf(w, *def), 1);
        for (const FactorDef& def : allFactors()) {
            if (placeOf(def.factor).page != p)
                d->assessment.points(def.factor) = 8;
        }
        QSignalSpy cancelled(&w, &ScorePage::scoreCancelled);

        for (int round = 0; round < 6; ++round)
            d->setUp(p);

        for (const FactorDef* def : factorsInKeyboardOrder(p)) {
            OptionGroup* group = groupOf(w, *def);
            QStringList expected;
            for (std::string_view option : def->options)
                expected << fromTable(option);
            QStringList shown;
            for (int i = 0; i < group->optionCount(); ++i) {
                shown << group->optionButton(i)->text();
                QVERIFY(!group->optionButton(i)->isChecked());
            }
            QCOMPARE(group->title(), fromTable(def->heading));
            QCOMPARE(shown, expected);
            QCOMPARE(group->findChildren<QRadioButton*>().size(), expected.size());
            QCOMPARE(group->chosenIndex(), -1);
            QCOMPARE(displayOf(w, *def)->text(), QString());
            QCOMPARE(d->assessment.points(def->factor), 0);
        }
        for (const FactorDef& def : allFactors()) {
            if (placeOf(def.factor).page != p)
                QCOMPARE(d->assessment.points(def.factor), 8);
        }
        QVERIFY(w.isVisible());
        QCOMPARE(cancelled.count(), 0);
    }

    void cancelHidesAndKeepsTheChoices_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<bool>("choiceMade");
        const std::pair<Page, const char*> pages[] = {
            {Page::Physiological1, "page 1"},
            {Page::Physiological2, "page 2 after a completed page 1"},
            {Page::Operative, "operative"}};
        for (const auto& [page, name] : pages) {
            for (bool byEscape : {false, true}) {
                for (bool choiceMade : {false, true}) {
                    QTest::addRow("%s, %s, %s", name, byEscape ? "Escape" : "Cancel",
                                  choiceMade ? "after a choice" : "right after opening")
                        << int(page) << byEscape << choiceMade;
                }
            }
        }
    }
    void cancelHidesAndKeepsTheChoices() {
        QFETCH(int, page);
        QFETCH(bool, byEscape);
        QFETCH(bool, choiceMade);
        const Page p = Page(page);
        ScorePage& w = d->window(p);
        d->assessment.physiologicalScore = 77;
        d->assessment.operativeScore = 33;
        for (const FactorDef& def : allFactors())
            d->assessment.points(def.factor) = 8;
        if (p == Page::Physiological2) {
            d->open(Page::Physiological1);
            answerAllAndConfirm(d->page1, Page::Physiological1, false, false);
            QTRY_COMPARE(QApplication::activeWindow(), &d->page2);
        } else {
            d->open(p);
        }
        const FactorDef& first = *factorsInKeyboardOrder(p).front();
        if (choiceMade)
            clickOption(*groupOf(w, first), 1);
        const std::uint8_t firstPoints = choiceMade ? pointsOf(first, 1) : 0;
        const auto confirmed = d->spyConfirmed(p);
        QSignalSpy cancelled(&w, &ScorePage::scoreCancelled);

        if (byEscape)
            pressKey(Qt::Key_Escape);
        else
            QTest::mouseClick(button(w, "BitBtn2"), Qt::LeftButton);

        QVERIFY(!w.isVisible());
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(confirmed->count(), 0);
        QVERIFY(d->platform.messages.empty());
        QCOMPARE(groupOf(w, first)->chosenIndex(), choiceMade ? 1 : -1);
        QCOMPARE(w.pointsDisplayText(first.factor),
                 choiceMade ? QString::number(firstPoints) : QString());
        QCOMPARE(d->assessment.points(first.factor), firstPoints);
        // Totals are the main window's; other pages keep their points.
        QCOMPARE(d->assessment.physiologicalScore, 77);
        QCOMPARE(d->assessment.operativeScore, 33);
        for (const FactorDef& def : allFactors()) {
            if (placeOf(def.factor).page == Page::Operative && p != Page::Operative)
                QCOMPARE(d->assessment.points(def.factor), 8);
            if (placeOf(def.factor).page == Page::Physiological2 && p != Page::Physiological2)
                QCOMPARE(d->assessment.points(def.factor), 8);
            if (placeOf(def.factor).page == Page::Physiological1 && p == Page::Operative)
                QCOMPARE(d->assessment.points(def.factor), 8);
        }
    }

    // Every factor of the tables, present and future, has a grading text on
    // its group, reached by hovering any option and by Shift+F1, and a topic
    // of its own in the help file that ships.
    void everyFactorExplainsItsGradingAndHasAHelpTopic() {
        const QSet<QString> topics = helpFileTopics();
        QVERIFY(topics.contains(QStringLiteral("contents")));
        QSet<QString> anchors;
        for (const FactorDef& def : allFactors()) {
            const QString name = fromTable(def.name);
            const FactorHelp help = factorHelp(def.factor);
            QVERIFY2(!help.definition.isEmpty(), qPrintable(name));
            QVERIFY2(topics.contains(help.anchor), qPrintable(name + ": " + help.anchor));
            anchors.insert(help.anchor);

            const Page page = placeOf(def.factor).page;
            d->open(page);
            OptionGroup* group = groupOf(d->window(page), def);
            QVERIFY2(group, qPrintable(name));
            QCOMPARE(group->toolTip(), factorToolTip(def.factor));
            QVERIFY(group->whatsThis().contains(help.definition.toHtmlEscaped()));

            QRadioButton* option = group->optionButton(group->optionCount() - 1);
            QHelpEvent hover(QEvent::ToolTip, option->rect().center(),
                             option->mapToGlobal(option->rect().center()));
            QApplication::sendEvent(option, &hover);
            QTRY_VERIFY2(QToolTip::isVisible(), qPrintable(name));
            QCOMPARE(QToolTip::text(), factorToolTip(def.factor));
            QToolTip::hideText();

            option->setFocus(Qt::OtherFocusReason);
            pressKey(Qt::Key_F1, Qt::ShiftModifier);
            QTRY_VERIFY2(whatsThisShown(), qPrintable(name));

            // Its link, as the "What's This" window reports a click on it,
            // closes the text and asks for the factor's topic.
            static const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
            QWhatsThisClickedEvent clicked(link.match(group->whatsThis()).captured(1));
            QSignalSpy requests(&d->window(page), &ScorePage::helpRequested);
            QApplication::sendEvent(group, &clicked);
            QCOMPARE(requests.count(), 1);
            QCOMPARE(requests.at(0).at(0).toString(), help.anchor);
            QTRY_VERIFY(!whatsThisShown());
            d->window(page).hide();
        }
        QCOMPARE(anchors.size(), qsizetype(kFactorCount));
    }

    void helpAsksForTheRunTopic_data() { addPageRows(); }
    void helpAsksForTheRunTopic() {
        QFETCH(int, page);
        ScorePage& w = d->window(Page(page));
        d->open(Page(page));
        QSignalSpy help(&w, &ScorePage::helpRequested);
        QSignalSpy cancelled(&w, &ScorePage::scoreCancelled);

        QTest::mouseClick(button(w, "BitBtn3"), Qt::LeftButton);

        QCOMPARE(help.count(), 1);
        QCOMPARE(help.at(0).at(0).toString(), QStringLiteral("run"));
        QVERIFY(w.isVisible());
        QCOMPARE(cancelled.count(), 0);
    }

    void tabFollowsTheKeyboardOrder_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("order");
        // Each measured factor's value field, and its unit where there are
        // several, follow its group; the groups and buttons keep their order.
        QStringList page1;
        for (const char* name : {"RadioGroup9",
                                 "RadioGroup9_Value",
                                 "RadioGroup3",
                                 "RadioGroup3_Value",
                                 "RadioGroup1",
                                 "RadioGroup1_Value",
                                 "RadioGroup2",
                                 "RadioGroup2_Value",
                                 "RadioGroup4",
                                 "RadioGroup4_Value",
                                 "RadioGroup4_Unit",
                                 "RadioGroup5",
                                 "RadioGroup5_Value",
                                 "RadioGroup6",
                                 "RadioGroup6_Value",
                                 "RadioGroup6_Unit",
                                 "RadioGroup7",
                                 "RadioGroup7_Value",
                                 "RadioGroup8",
                                 "RadioGroup8_Value",
                                 "BitBtn1",
                                 "BitBtn2",
                                 "BitBtn3"})
            page1 << QLatin1String(name);
        QTest::newRow("physiological page 1") << int(Page::Physiological1) << page1;
        QTest::newRow("physiological page 2") << int(Page::Physiological2) << names({1, 2, 3});
        QTest::newRow("operative") << int(Page::Operative) << names({1, 2, 3, 4, 5, 6});
    }
    void tabFollowsTheKeyboardOrder() {
        QFETCH(int, page);
        QFETCH(QStringList, order);
        ScorePage& w = d->window(Page(page));
        // Twice: the second set-up rebuilds every option.
        for (int opening = 0; opening < 2; ++opening) {
            d->open(Page(page));
            // The operative dialog has no focus step of its own: opened again,
            // it starts where the focus was left (Help, by the Backtab below).
            const bool remembers = Page(page) == Page::Operative && opening > 0;
            QCOMPARE(focusOwner(), remembers ? QStringLiteral("BitBtn3") : order.front());
            w.findChild<OptionGroup*>(order.front())->setFocus();
            QStringList visited;
            for (qsizetype i = 0; i < order.size(); ++i) {
                pressKey(Qt::Key_Tab);
                visited << focusOwner();
            }
            QCOMPARE(visited, order.mid(1) << order.front());
            pressKey(Qt::Key_Backtab);
            QCOMPARE(focusOwner(), QStringLiteral("BitBtn3"));
            w.hide();
        }

        // A group with a choice is entered at its chosen option.
        d->open(Page(page));
        qsizetype k = 1;
        while (!w.findChild<OptionGroup*>(order.at(k)))
            ++k;
        auto* second = w.findChild<OptionGroup*>(order.at(k));
        clickOption(*second, 2);
        w.findChild<QWidget*>(order.at(k - 1))->setFocus();
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second->optionButton(2));
    }

    void windowsAreArrangedAsDesigned_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("columns");
        QTest::newRow("physiological page 1")
            << int(Page::Physiological1) << "Physiological Score - Page 1" << 3;
        QTest::newRow("physiological page 2")
            << int(Page::Physiological2) << "Physiological score - Page 2" << 1;
        QTest::newRow("operative") << int(Page::Operative) << "Operative Severity Score" << 2;
    }
    void windowsAreArrangedAsDesigned() {
        QFETCH(int, page);
        QFETCH(QString, caption);
        QFETCH(int, columns);
        const Page p = Page(page);
        ScorePage& w = d->window(p);
        d->open(p);

        QCOMPARE(w.windowTitle(), caption);
        QVERIFY(!w.isModal());
        const Qt::WindowFlags flags = w.windowFlags();
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        for (Qt::WindowType unwanted : {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint,
                                        Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint})
            QVERIFY(!flags.testFlag(unwanted));

        QPushButton* ok = button(w, "BitBtn1");
        QPushButton* cancel = button(w, "BitBtn2");
        QPushButton* help = button(w, "BitBtn3");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(help->text(), QStringLiteral("&Help"));
        QVERIFY(ok->isDefault());
        QVERIFY(help->geometry().right() < cancel->geometry().left());
        QVERIFY(cancel->geometry().right() < ok->geometry().left());
        QCOMPARE(help->y(), ok->y());

        const auto defs = factorsInKeyboardOrder(p);
        std::vector<QRect> frames;
        for (const FactorDef* def : defs) {
            OptionGroup* group = groupOf(w, *def);
            QCOMPARE(group->accessibleName(), fromTable(def->heading));
            QLineEdit* display = displayOf(w, *def);
            QCOMPARE(display->parentWidget(), group);
            QVERIFY(display->isReadOnly());
            QCOMPARE(display->focusPolicy(), Qt::NoFocus);
            QCOMPARE(display->accessibleName(), fromTable(def->name) + QStringLiteral(" points"));
            const QRect inGroup(display->mapTo(group, QPoint(0, 0)), display->size());
            QVERIFY(group->rect().contains(inGroup));
            QVERIFY(group->width() - inGroup.right() < 20);
            QVERIFY(group->height() - inGroup.bottom() < 20);
            // Buttons in a row above the groups, OK at the right end.
            QVERIFY(ok->geometry().bottom() < group->y());
            frames.push_back(group->geometry());
        }
        int right = 0;
        for (const QRect& frame : frames)
            right = std::max(right, frame.right());
        QVERIFY(std::abs(ok->geometry().right() - right) < 4);

        // Columns of three, filled top to bottom in keyboard order.
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const std::size_t top = k - k % 3;
            if (k % 3 != 0) {
                QCOMPARE(frames[k].left(), frames[top].left());
                QVERIFY(frames[k].top() > frames[k - 1].bottom());
            } else if (k > 0) {
                QVERIFY(frames[k].left() > frames[k - 3].right());
                QCOMPARE(frames[k].top(), frames[0].top());
            }
        }
        QCOMPARE(int((frames.size() + 2) / 3), columns);
        if (p == Page::Operative)
            QVERIFY(frames[3].width() > frames[0].width());
        if (p == Page::Physiological2) {
            for (const QRect& frame : frames)
                QCOMPARE(frame.width(), frames[0].width());
            QVERIFY(w.width() - frames[0].width() < 40);
        }
    }

    // Values typed on page 1 in the units the laboratory used, options picked on
    // page 2, all from the keyboard: the values choose their options, the points
    // and the total follow, the conversion is shown and the units are remembered.
    void typedValuesGradeThePageAndTheTotal() {
        QSignalSpy completed(&d->page1, &PhysiologicalPage1::completed);
        QSignalSpy confirmed(&d->page2, &PhysiologicalPage2::scoreConfirmed);
        d->open(Page::Physiological1);
        QCOMPARE(focusOwner(), QStringLiteral("RadioGroup9"));

        pressKey(Qt::Key_Tab);
        typeAndTab(QStringLiteral("72")); // age: ">= 71"
        QCOMPARE(focusOwner(), QStringLiteral("RadioGroup3"));
        pressKey(Qt::Key_Tab);
        typeAndTab(QStringLiteral("130")); // printed in two options: the first
        pressKey(Qt::Key_Tab);
        typeAndTab(QStringLiteral("101"));
        pressKey(Qt::Key_Tab);
        typeAndTab(QStringLiteral("15"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(focusOwner(), QStringLiteral("RadioGroup4_Value"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("125"));
        pressKey(Qt::Key_Tab); // refused as g/dL ...
        QCOMPARE(groupOf(d->page1, factorDef(Factor::Haemoglobin))->chosenIndex(), -1);
        QCOMPARE(focusOwner(), QStringLiteral("RadioGroup4_Unit"));
        pressKey(Qt::Key_Down); // ... and graded once its unit is g/L
        QCOMPARE(noteOf(d->page1, Factor::Haemoglobin, "Reading"),
                 QStringLiteral("Hb 125 g/L = Hb 12.5 g/dL"));
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Tab);
        typeAndTab(QStringLiteral("4.0")); // printed in two options: the first
        pressKey(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("28"));
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Down); // BUN in mg/dL
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Tab);
        typeAndTab(QStringLiteral("134"));
        pressKey(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("6.0"));

        const std::pair<Factor, int> expected[] = {
            {Factor::Age, 2},         {Factor::SystolicBP, 0},
            {Factor::Pulse, 2},       {Factor::GlasgowComaScale, 0},
            {Factor::Haemoglobin, 1}, {Factor::WhiteCellCount, 0},
            {Factor::Urea, 1},        {Factor::Sodium, 1},
            {Factor::Potassium, 3}};
        pressKey(Qt::Key_Return); // finishes the potassium, then OK
        QCOMPARE(d->platform.messageTexts(), QStringList());
        QCOMPARE(completed.count(), 1);
        QCOMPARE(completed.at(0).at(0).toInt(), 4 + 1 + 4 + 1 + 2 + 1 + 2 + 2 + 8);
        for (const auto& [factor, position] : expected) {
            const FactorDef& def = factorDef(factor);
            QCOMPARE(groupOf(d->page1, def)->chosenIndex(), position);
            QCOMPARE(d->assessment.points(factor), pointsOf(def, std::size_t(position)));
            QCOMPARE(d->page1.pointsDisplayText(factor), QString::number(pointsOf(def, position)));
            QCOMPARE(noteOf(d->page1, factor, "Disagreement"), QString());
        }
        QCOMPARE(noteOf(d->page1, Factor::Urea, "Reading"),
                 QStringLiteral("BUN 28 mg/dL = urea 10.0 mmol/L"));
        // A screen reader hears the field with its unit and the grade it picked.
        QLineEdit* urea = valueEdit(d->page1, Factor::Urea);
        QCOMPARE(urea->accessibleName(), QStringLiteral("Urea value in BUN mg/dL"));
        QCOMPARE(urea->accessibleDescription(),
                 QStringLiteral("Grades 7.6 - 10.0, 2 points. BUN 28 mg/dL = urea 10.0 mmol/L."));

        // Page 2 has no measured factor: Cardiac first option, ECG second, Respiratory first.
        QTRY_COMPARE(QApplication::activeWindow(), &d->page2);
        QVERIFY(!d->page2.findChild<QLineEdit*>(QStringLiteral("RadioGroup1_Value")));
        pressKey(Qt::Key_Space);
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Space);
        pressKey(Qt::Key_Return);
        QCOMPARE(confirmed.count(), 1);
        QCOMPARE(confirmed.at(0).at(0).toInt(), 25 + 1 + 4 + 1);

        // The units picked are those of the next run's pages; the values are not kept.
        Dialogs again;
        again.open(Page::Physiological1);
        auto* unit = again.page1.findChild<QComboBox*>(QStringLiteral("RadioGroup6_Unit"));
        QCOMPARE(unit->currentText(), QStringLiteral("BUN mg/dL"));
        QCOMPARE(valueEdit(again.page1, Factor::Urea)->text(), QString());
        d->open(Page::Physiological1);
        QCOMPARE(valueEdit(d->page1, Factor::Urea)->text(), QString());
        QCOMPARE(noteOf(d->page1, Factor::Urea, "Reading"), QString());
    }

    // An implausible value is refused where it was typed, chooses nothing, and
    // keeps OK from confirming the page with a grade from before it.
    void implausibleValueIsRefusedInPlace() {
        QSignalSpy completed(&d->page1, &PhysiologicalPage1::completed);
        d->open(Page::Physiological1);
        const FactorDef& hb = factorDef(Factor::Haemoglobin);
        valueEdit(d->page1, Factor::Haemoglobin)->setFocus();
        typeAndTab(QStringLiteral("150"));
        QCOMPARE(noteOf(d->page1, Factor::Haemoglobin, "Reading"),
                 QStringLiteral("150 g/dL: did you mean g/L? 150 g/L is 15.0 g/dL."));
        QCOMPARE(groupOf(d->page1, hb)->chosenIndex(), -1);
        QCOMPARE(d->assessment.points(Factor::Haemoglobin), 0);
        QCOMPARE(valueEdit(d->page1, Factor::Haemoglobin)->accessibleDescription(),
                 QStringLiteral("150 g/dL: did you mean g/L? 150 g/L is 15.0 g/dL."));

        for (const FactorDef* def : factorsInKeyboardOrder(Page::Physiological1))
            clickOption(*groupOf(d->page1, *def), 0);
        clickOk(d->page1);
        QCOMPARE(d->platform.messageTexts(),
                 QStringList{QStringLiteral("150 g/dL: did you mean g/L? 150 g/L is 15.0 g/dL.\n"
                                            "Correct the value or empty its field.")});
        QVERIFY(d->page1.isVisible());
        QCOMPARE(completed.count(), 0);
        QCOMPARE(focusOwner(), QStringLiteral("RadioGroup4_Value"));

        // Emptied, the field stands in the way no more; the hand's grade stays.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        pressKey(Qt::Key_Delete);
        pressKey(Qt::Key_Tab);
        QCOMPARE(noteOf(d->page1, Factor::Haemoglobin, "Reading"), QString());
        clickOk(d->page1);
        QCOMPARE(completed.count(), 1);
        QCOMPARE(completed.at(0).at(0).toInt(), 9);
    }

    // Cancel (here by Escape) with a value still being typed leaves the
    // factor as it was: the value is not graded on its way out.
    void cancelWithAValueBeingTypedGradesNothing() {
        d->open(Page::Physiological1);
        valueEdit(d->page1, Factor::Sodium)->setFocus();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("128"));
        pressKey(Qt::Key_Escape);
        QVERIFY(!d->page1.isVisible());
        QCOMPARE(groupOf(d->page1, factorDef(Factor::Sodium))->chosenIndex(), -1);
        QCOMPARE(d->assessment.points(Factor::Sodium), 0);
        QCOMPARE(d->page1.pointsDisplayText(Factor::Sodium), QString());
    }

    // A value and an option picked by hand that differ are both shown, with a
    // note; neither changes the other, and emptying the value keeps the grade.
    void handAndValueDisagreeVisibly() {
        d->open(Page::Physiological1);
        const FactorDef& bp = factorDef(Factor::SystolicBP);
        OptionGroup* bpGroup = groupOf(d->page1, bp);
        const QString bpNote =
            QStringLiteral("The value grades \u201C130 - 170, 100 - 109\u201D (2 points); the "
                           "option chosen gives 1 point.");

        // A value first, then the hand.
        valueEdit(d->page1, Factor::SystolicBP)->setFocus();
        typeAndTab(QStringLiteral("150"));
        QCOMPARE(bpGroup->chosenIndex(), 1);
        QCOMPARE(noteOf(d->page1, Factor::SystolicBP, "Disagreement"), QString());
        clickOption(*bpGroup, 0);
        QCOMPARE(bpGroup->chosenIndex(), 0);
        QCOMPARE(d->assessment.points(Factor::SystolicBP), 1);
        QCOMPARE(valueEdit(d->page1, Factor::SystolicBP)->text(), QStringLiteral("150"));
        QCOMPARE(noteOf(d->page1, Factor::SystolicBP, "Disagreement"), bpNote);
        // A value that agrees clears the note; one that differs leaves the hand's choice.
        valueEdit(d->page1, Factor::SystolicBP)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        typeAndTab(QStringLiteral("120"));
        QCOMPARE(noteOf(d->page1, Factor::SystolicBP, "Disagreement"), QString());
        valueEdit(d->page1, Factor::SystolicBP)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        typeAndTab(QStringLiteral("95"));
        QCOMPARE(bpGroup->chosenIndex(), 0);
        QCOMPARE(d->assessment.points(Factor::SystolicBP), 1);
        QVERIFY(noteOf(d->page1, Factor::SystolicBP, "Disagreement")
                    .startsWith(QStringLiteral("The value grades \u201C>= 171, 90 - 99\u201D (4")));

        // The hand first, then a value.
        OptionGroup* pulseGroup = groupOf(d->page1, factorDef(Factor::Pulse));
        clickOption(*pulseGroup, 3);
        valueEdit(d->page1, Factor::Pulse)->setFocus();
        typeAndTab(QStringLiteral("70"));
        QCOMPARE(pulseGroup->chosenIndex(), 3);
        QCOMPARE(d->page1.pointsDisplayText(Factor::Pulse), QStringLiteral("8"));
        QCOMPARE(noteOf(d->page1, Factor::Pulse, "Disagreement"),
                 QStringLiteral("The value grades \u201C50 - 80\u201D (1 point); the option "
                                "chosen gives 8 points."));
        QVERIFY(valueEdit(d->page1, Factor::Pulse)
                    ->accessibleDescription()
                    .contains(QStringLiteral("the option chosen gives 8 points")));

        // Emptying the value keeps the grade and drops the note.
        valueEdit(d->page1, Factor::Pulse)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        pressKey(Qt::Key_Delete);
        pressKey(Qt::Key_Tab);
        QCOMPARE(pulseGroup->chosenIndex(), 3);
        QCOMPARE(d->assessment.points(Factor::Pulse), 8);
        QCOMPARE(noteOf(d->page1, Factor::Pulse, "Disagreement"), QString());
    }

    // Reopening page 1 leaves page 2's earlier answers alone; page 2 starts
    // empty each time page 1 is confirmed, and the total is built from the
    // latest page 1 only.
    void eachRoundStartsFromTheLatestPage1() {
        QSignalSpy completed(&d->page1, &PhysiologicalPage1::completed);
        QSignalSpy confirmed(&d->page2, &PhysiologicalPage2::scoreConfirmed);
        d->open(Page::Physiological1);
        answerAllAndConfirm(d->page1, Page::Physiological1, false, false);
        QTRY_COMPARE(QApplication::activeWindow(), &d->page2);
        answerAllAndConfirm(d->page2, Page::Physiological2, false, true);
        QCOMPARE(confirmed.count(), 1);
        QCOMPARE(confirmed.at(0).at(0).toInt(), 9 + 8 + 8 + 8);

        d->open(Page::Physiological1);
        QCOMPARE(d->assessment.points(Factor::Age), 0);
        QCOMPARE(d->assessment.points(Factor::ECG), 8);
        QCOMPARE(d->page2.pointsDisplayText(Factor::ECG), QStringLiteral("8"));

        answerAllAndConfirm(d->page1, Page::Physiological1, false, true);
        QCOMPARE(completed.count(), 2);
        QTRY_COMPARE(QApplication::activeWindow(), &d->page2);
        for (const FactorDef* def : factorsInKeyboardOrder(Page::Physiological2)) {
            QCOMPARE(groupOf(d->page2, *def)->chosenIndex(), -1);
            QCOMPARE(d->page2.pointsDisplayText(def->factor), QString());
            QCOMPARE(d->assessment.points(def->factor), 0);
        }
        answerAllAndConfirm(d->page2, Page::Physiological2, false, false);
        QCOMPARE(confirmed.count(), 2);
        QCOMPARE(confirmed.at(1).at(0).toInt(), 64 + 3);
    }
};

QTEST_MAIN(ScorePagesTest)
#include "scorepages_test.moc"
