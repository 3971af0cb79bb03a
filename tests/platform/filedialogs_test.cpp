// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qtplatform.h"
#include "platform/rememberedfolders.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace caldrin;

// The real file dialogs, answered from inside their own event loop as a user
// would answer them. The user's settings live in a folder of the test's own.
class FileDialogsTest : public QObject {
    Q_OBJECT

    QTemporaryDir config;
    QTemporaryDir files;

    QString folder(const QString& name) {
        QDir(files.path()).mkpath(name);
        return QDir(files.path()).filePath(name);
    }

    // Runs `user` on the file dialog once it is up.
    static void whenDialogShows(std::function<void(QFileDialog&)> user) {
        QTimer::singleShot(0, [user] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                QFAIL("no file dialog");
            user(*dialog);
        });
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(config.isValid() && files.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    }

    void eachPurposeRemembersItsOwnFolder() {
        const QString reports = folder(QStringLiteral("reports"));
        const QString audit = folder(QStringLiteral("audit"));
        RememberedFolders::rememberFileIn(FilePurpose::Report, reports + "/a.txt");
        RememberedFolders::rememberFileIn(FilePurpose::AuditData, audit + "/data.csv");
        QCOMPARE(RememberedFolders::folderFor(FilePurpose::Report), reports);
        QCOMPARE(RememberedFolders::folderFor(FilePurpose::AuditData), audit);
        QVERIFY(RememberedFolders::folderFor(FilePurpose::Print).isEmpty());
        // Kept in the user's configuration folder, for later runs.
        QVERIFY(!QDir(config.path()).isEmpty());

        // A folder removed since is not offered.
        const QString gone = folder(QStringLiteral("gone"));
        RememberedFolders::rememberFileIn(FilePurpose::Print, gone + "/p.pdf");
        QVERIFY(QDir(gone).removeRecursively());
        QVERIFY(RememberedFolders::folderFor(FilePurpose::Print).isEmpty());
    }

    void saveDialogStartsInTheLastFolderWithTheSuggestedName() {
        const QString before = folder(QStringLiteral("before"));
        const QString after = folder(QStringLiteral("after"));
        RememberedFolders::rememberFileIn(FilePurpose::Report, before + "/old.txt");
        SaveFileRequest request;
        request.filters = QStringList{QStringLiteral("Text files (*.TXT) (*.TXT)")};
        request.suggestedName = QStringLiteral("Caldrin report 2026-06-15.txt");
        request.purpose = FilePurpose::Report;

        QString startFolder;
        QString offeredName;
        whenDialogShows([&](QFileDialog& dialog) {
            startFolder = dialog.directory().absolutePath();
            offeredName = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            dialog.selectFile(after + "/chosen.txt");
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        QtPlatform platform;
        QCOMPARE(platform.chooseFileToSave(nullptr, request), std::optional(after + "/chosen.txt"));
        QCOMPARE(startFolder, before);
        QCOMPARE(offeredName, request.suggestedName);
        QCOMPARE(RememberedFolders::folderFor(FilePurpose::Report), after);
    }

    void messageBoxesCarryTheProgramsTitle() {
        // The calculator's title by default; another program names itself.
        for (const QString& title : {kApplicationTitle, QStringLiteral("Caldrin Audit")}) {
            QStringList shown;
            auto readAndClose = [&shown] {
                QTimer::singleShot(0, [&shown] {
                    QWidget* box = QApplication::activeModalWidget();
                    QVERIFY(box);
                    shown << box->windowTitle();
                    box->close();
                });
            };
            const auto platform = title == kApplicationTitle ? std::make_unique<QtPlatform>()
                                                             : std::make_unique<QtPlatform>(title);
            readAndClose();
            platform->showMessage(nullptr, QStringLiteral("message"));
            readAndClose();
            platform->showError(nullptr, QStringLiteral("error"));
            QCOMPARE(shown, QStringList({title, title}));
        }
    }

    void openDialogStartsInTheLastAuditFolder() {
        const QString audit = folder(QStringLiteral("audit data"));
        QFile existing(audit + "/episodes.csv");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        RememberedFolders::rememberFileIn(FilePurpose::AuditData, existing.fileName());
        RememberedFolders::rememberFileIn(FilePurpose::Report, files.path() + "/x.txt");

        QString startFolder;
        whenDialogShows([&](QFileDialog& dialog) {
            startFolder = dialog.directory().absolutePath();
            dialog.selectFile(existing.fileName());
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        QtPlatform platform;
        const OpenFileRequest request{QStringLiteral("Open Data File"),
                                      {QStringLiteral("All files ( *.* ) (*)")},
                                      0,
                                      FilePurpose::AuditData};
        const auto choice = platform.chooseFileToOpen(nullptr, request);
        QVERIFY(choice);
        QCOMPARE(choice->path, existing.fileName());
        QCOMPARE(startFolder, audit);
    }
};

QTEST_MAIN(FileDialogsTest)
#include "filedialogs_test.moc"
