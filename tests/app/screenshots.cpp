// SPDX-License-Identifier: GPL-3.0-or-later
// Not a test: renders the screenshots of the README into a folder, from an
// episode graded in the real windows, for a made-up patient.
// Take them on a real X server, whose fonts a reader's desktop has:
//   Xvfb :7 & DISPLAY=:7 build/debug/tests/bin/make_screenshots docs
// The calculator reads its settings and the unit's update from a
// configuration folder of its own here, which holds a made-up update, so the
// pictures show the unit's figure beside the published ones and never the
// update of the desktop they are taken on.
#include "app/mainwindow.h"
#include "app/program.h"
#include "dist/windowicon.h"
#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "fakeplatform.h"
#include "patientview/patientview.h"
#include "report/reportwindow.h"
#include "updatefixtures.h"
#include "widgets/optiongroup.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <initializer_list>

using namespace caldrin;

namespace {

template <typename T> T* child(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "make_screenshots: no %s\n", name);
        std::exit(1);
    }
    return found;
}

void click(QWidget& window, const char* name) {
    QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
}

// Picks an option in every group of a score window, the n-th group's option
// at `picks[n]` (or its last option, for a short group).
void grade(QWidget& window, std::initializer_list<int> picks) {
    const auto groups = window.findChildren<OptionGroup*>();
    auto pick = picks.begin();
    for (OptionGroup* group : groups) {
        const int index = pick == picks.end() ? 0 : *pick++;
        group->optionButton(std::min(index, group->optionCount() - 1))->click();
    }
    click(window, "BitBtn1");
}

// Points the configuration folder at `config` and sets the made-up update there.
bool setUpdate(const QTemporaryDir& config) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    if (!QDir(config.path()).mkpath(QStringLiteral("caldrin")))
        return false;
    QFile file(config.filePath(QStringLiteral("caldrin/model-update.json")));
    // Recalibrated in the large, as audits of the published equation often
    // call for: the odds of death about half of those predicted.
    modelupdate::ModelUpdate update = testing::updatefixtures::sampleUpdate();
    update.method = modelupdate::Method::RecalibrationInTheLarge;
    update.coefficients = {-0.62};
    update.covariance = {{0.0077}};
    update.closedTest = {{modelupdate::Method::Original, modelupdate::Method::LogisticRecalibration,
                          52.3, 2, 4.4e-12},
                         {modelupdate::Method::RecalibrationInTheLarge,
                          modelupdate::Method::LogisticRecalibration, 0.68, 1, 0.41}};
    const std::string text = modelupdate::updateDocument(update).text;
    return file.open(QIODevice::WriteOnly) &&
           file.write(text.data(), qint64(text.size())) == qint64(text.size());
}

bool save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    return window.grab().save(path);
}

} // namespace

int main(int argc, char* argv[]) {
    const QTemporaryDir config;
    if (!config.isValid() || !setUpdate(config)) {
        std::fprintf(stderr, "make_screenshots: cannot set up a configuration folder\n");
        return 1;
    }
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_screenshots FOLDER [PATIENT-VIEW-FOLDER]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QApplication::setWindowIcon(applicationIcon());
    // SCREENSHOT_DARK=1: the Fusion style under a dark palette, as a dark
    // desktop gives it, to look at the windows in both.
    if (qEnvironmentVariableIsSet("SCREENSHOT_DARK")) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, Qt::white);
        QApplication::setPalette(dark);
    }

    testing::FakePlatform platform;
    Program program(platform, {});
    program.showMainWindow();
    MainWindow& main = program.mainWindow();
    click(main, "Button2");
    grade(program.physiologicalPage1(), {2, 1, 0, 1, 2, 0, 1, 0, 1});
    grade(program.physiologicalPage2(), {0, 1, 2});
    click(main, "Button3");
    grade(program.operativeDialog(), {2, 0, 1, 1, 0, 1});
    click(main, "Button1");
    if (!save(main, folder.filePath(QStringLiteral("main-window.png"))))
        return 1;

    // With a second folder, the patient view and its printed sheet go there
    // too (not part of the README).
    if (argc == 3) {
        const QDir extra(QString::fromLocal8Bit(argv[2]));
        click(main, "PatientViewButton");
        QWidget& view = program.patientView();
        if (!save(view, extra.filePath(QStringLiteral("patient-view.png"))))
            return 1;
        platform.printAnswers.push_back(extra.filePath(QStringLiteral("patient-sheet.pdf")));
        click(view, "PrintButton");
        view.close();
    }

    platform.modalHandlers.push_back([](QDialog& dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "Name_Edit"), QStringLiteral("Example Patient"));
        QTest::keyClicks(child<QLineEdit>(dialog, "ID_Edit"), QStringLiteral("0000000"));
        QTest::keyClicks(child<QLineEdit>(dialog, "DOB_Edit"), QStringLiteral("14/02/1950"));
        QTest::keyClicks(child<QLineEdit>(dialog, "Procdate"), QStringLiteral("09/12/2026"));
        click(dialog, "HasH_ID");
        click(dialog, "BitBtn1");
    });
    click(main, "Button4");
    // Tall enough to show the whole report in the display's font, from its top.
    QWidget& report = program.reportWindow();
    auto* memo = child<QPlainTextEdit>(report, "Memo1");
    report.resize(720, 1060);
    QApplication::processEvents();
    while (memo->verticalScrollBar()->maximum() > 0 && report.height() < 2400) {
        report.resize(report.width(), report.height() + 20);
        QApplication::processEvents();
    }
    memo->verticalScrollBar()->setValue(0);
    return save(report, folder.filePath(QStringLiteral("report.png"))) ? 0 : 1;
}
