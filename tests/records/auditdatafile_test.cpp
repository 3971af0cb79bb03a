// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/auditdatafile.h"
#include "records_core/auditrecord.h"

#include "audittesting.h"
#include "fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <memory>

#include <sys/wait.h>
#include <unistd.h>

using namespace caldrin;
using caldrin::testing::FakeDevice;
using caldrin::testing::FakePlatform;
using caldrin::testing::openerFor;

namespace {

const QStringList kFilters = {QStringLiteral("Comma Separated Vaue ( *.CSV ) (*.csv)"),
                              QStringLiteral("Text files ( *.TXT ) (*.txt)"),
                              QStringLiteral("All files ( *.* ) (*)")};

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

Assessment episode(std::uint8_t ps) {
    Assessment a;
    a.physiologicalScore = ps;
    a.operativeScore = 6;
    a.factorPoints.fill(2);
    a.risks = {0.0108, 0.0547, 0.002, 0.0353, 0.1686};
    return a;
}

PatientDetails patient(const char* name) {
    PatientDetails d;
    d.name = name;
    d.identity = "A1";
    d.dateOfProcedure = "15/06/2026";
    return d;
}

} // namespace

class AuditDataFileTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<AuditDataFile> audit;

    QString path(const QString& name) const { return dir->filePath(name); }
    void answer(const QString& chosen, int filter) {
        platform->openAnswers.push_back(OpenFileChoice{chosen, filter});
    }
    void press(std::uint8_t ps = 12, const char* name = "Jones") {
        audit->addRecord(episode(ps), patient(name));
    }
    void useSinks(AuditSinkOpener opener) {
        audit = std::make_unique<AuditDataFile>(*platform, mainWindow.get(), std::move(opener));
    }

private Q_SLOTS:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        platform = std::make_unique<FakePlatform>();
        mainWindow = std::make_unique<QWidget>();
        audit = std::make_unique<AuditDataFile>(*platform, mainWindow.get());
    }
    void cleanup() {
        audit.reset();
        mainWindow.reset();
        platform.reset();
        dir.reset();
    }

    void newFileGetsTheHeaderAndTheRecord() {
        answer(path("audit"), 0);
        press();

        QCOMPARE(platform->openRequests.size(), std::size_t(1));
        const OpenFileRequest& request = platform->openRequests.front();
        QCOMPARE(request.title, QStringLiteral("Open Data File"));
        QCOMPARE(request.filters, kFilters);
        QCOMPARE(request.selectedFilter, 0);

        const QString name = path("audit.CSV");
        QCOMPARE(platform->messageTexts(),
                 QStringList({"Opening " + name, "Record added to " + name}));
        QCOMPARE(readAll(name),
                 bytes(auditHeaderLine() + auditRecordLine(episode(12), patient("Jones"))));
        QVERIFY(audit->isOpen());
        QCOMPARE(audit->fileName(), name);
    }

    void existingFileGetsNoHeader_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("records") << QByteArray("old,record\r\n");
    }
    void existingFileGetsNoHeader() {
        QFETCH(QByteArray, before);
        writeAll(path("audit.CSV"), before);
        answer(path("audit.CSV"), 0);
        press();
        QCOMPARE(readAll(path("audit.CSV")),
                 before + bytes(auditRecordLine(episode(12), patient("Jones"))));
    }

    void laterPressesAppendWithoutAsking() {
        answer(path("audit.TXT"), 1);
        press(12, "One");
        press(20, "Two");
        press(20, "Two"); // an unchanged episode is one more line all the same

        const QString name = path("audit.TXT");
        QCOMPARE(platform->openRequests.size(), std::size_t(1));
        QCOMPARE(platform->messageTexts(),
                 QStringList({"Opening " + name, "Record added to " + name,
                              "Record added to " + name, "Record added to " + name}));
        const std::string two = auditRecordLine(episode(20), patient("Two"));
        QCOMPARE(readAll(name), bytes(auditHeaderLine() +
                                      auditRecordLine(episode(12), patient("One")) + two + two));
    }

    void cancelledDialogLeavesEverythingClosed() {
        platform->openAnswers.push_back(std::nullopt);
        press();
        QVERIFY(platform->messages.empty());
        QVERIFY(!audit->isOpen());
        QVERIFY(QDir(dir->path()).isEmpty());

        answer(path("audit"), 0);
        press();
        QCOMPARE(platform->openRequests.size(), std::size_t(2));
        QVERIFY(audit->isOpen());
    }

    void nameIsCompletedByTheFilterChoice_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("file");
        QTest::newRow("csv choice") << "audit" << 0 << "audit.CSV";
        QTest::newRow("text choice") << "audit" << 1 << "audit.TXT";
        QTest::newRow("all files") << "audit" << 2 << "audit";
        QTest::newRow("own extension") << "audit.dat" << 0 << "audit.dat";
        QTest::newRow("dotted folder") << "v1.2/audit" << 0 << "v1.2/audit.CSV";
        QTest::newRow("filter not listed") << "audit" << -1 << "audit";
    }
    void nameIsCompletedByTheFilterChoice() {
        QFETCH(QString, chosen);
        QFETCH(int, filter);
        QFETCH(QString, file);
        QVERIFY(QDir(dir->path()).mkpath("v1.2"));
        answer(path(chosen), filter);
        press();
        QCOMPARE(platform->messageTexts().value(1), "Record added to " + path(file));
        QVERIFY(QFile::exists(path(file)));
    }

    void wholePathIsUsedHoweverLong() {
        QString folder = dir->path();
        for (int i = 0; i < 6; ++i)
            folder += '/' + QString(50, QChar('a' + i));
        QVERIFY(QDir().mkpath(folder));
        const QString name = folder + QStringLiteral("/audit.CSV");
        QVERIFY(name.size() > 300);
        answer(name, 0);
        press();
        QCOMPARE(platform->messageTexts().value(1), "Record added to " + name);
        QVERIFY(readAll(name).startsWith(bytes(auditHeaderLine())));
    }

    void unopenableFileIsReportedAndAskedForAgain_data() {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("missing folder") << "missing/audit.CSV";
        QTest::newRow("folder in its place") << "folder.CSV";
    }
    void unopenableFileIsReportedAndAskedForAgain() {
        QFETCH(QString, chosen);
        QVERIFY(QDir(dir->path()).mkdir("folder.CSV"));
        answer(path(chosen), 1);
        press();
        QCOMPARE(platform->messageTexts(),
                 QStringList({"Opening " + path(chosen), "Failure to open output file."}));
        QVERIFY(!audit->isOpen());
        QVERIFY(!QFile::exists(path("missing")));
        QVERIFY(QDir(path("folder.CSV")).isEmpty());

        // The next press starts again with the dialog, on the last choice.
        answer(path("audit"), 1);
        press();
        QCOMPARE(platform->openRequests.size(), std::size_t(2));
        QCOMPARE(platform->openRequests.back().selectedFilter, 1);
        QVERIFY(audit->isOpen());
        QVERIFY(QFile::exists(path("audit.TXT")));
    }

    // Saved over by a spreadsheet while open: "Record added to" must mean the
    // record is in the file of that name.
    void recordAddedGoesToTheFileNowAtTheName() {
        const QString name = path("audit.CSV");
        answer(name, 0);
        press(12, "One");
        const QByteArray saved = readAll(name) + "edited\r\n";
        writeAll(path("copy"), saved);
        QCOMPARE(std::rename(QFile::encodeName(path("copy")).constData(),
                             QFile::encodeName(name).constData()),
                 0);
        press(20, "Two");
        QCOMPARE(platform->messageTexts().constLast(), "Record added to " + name);
        QCOMPARE(readAll(name), saved + bytes(auditRecordLine(episode(20), patient("Two"))));
        QCOMPARE(platform->openRequests.size(), std::size_t(1));
    }

    void fileThatIsNotEightBitTextIsLeftAloneWithAMessageOfItsOwn() {
        const QString name = path("unicode.csv");
        const QByteArray utf16("\xff\xfeN\0\x1a\x01\r\0\n\0", 10);
        writeAll(name, utf16);
        answer(name, 0);
        press();
        QCOMPARE(platform->messageTexts().size(), 2);
        QVERIFY(platform->messageTexts().at(1).contains(QStringLiteral("8-bit text")));
        QVERIFY(!audit->isOpen());
        QCOMPARE(readAll(name), utf16);
    }

    void fullDeviceFailsEachPressAndStaysOpen() {
        answer(QStringLiteral("/dev/full"), 2);
        press();
        press();
        QCOMPARE(platform->messageTexts(),
                 QStringList({"Opening /dev/full", "File write failure.", "File write failure."}));
        QCOMPARE(platform->openRequests.size(), std::size_t(1));
        QVERIFY(audit->isOpen());
    }

    void headerThatCannotBeWrittenIsReported() {
        FakeDevice device;
        device.failuresLeft = 1;
        useSinks(openerFor(device, true));
        answer(QStringLiteral("new"), 0);
        press(12, "One");
        QCOMPARE(platform->messageTexts(), QStringList({"Opening new.CSV", "File write failure."}));
        QVERIFY(device.written.empty());

        press(20, "Two");
        QCOMPARE(platform->messageTexts().value(2), QStringLiteral("Record added to new.CSV"));
        QCOMPARE(device.written, auditHeaderLine() + auditRecordLine(episode(20), patient("Two")));
    }

    void fileHeldByAnotherCopyIsRefused() {
        const QString name = path("audit.CSV");
        caldrin::testing::OtherCopyHoldingFile other(QFile::encodeName(name).toStdString());
        QVERIFY(other.holds());

        answer(name, 0);
        press();
        QCOMPARE(platform->messageTexts(),
                 QStringList({"Opening " + name, "Failure to open output file."}));
        QVERIFY(!audit->isOpen());

        other.release();
        answer(name, 0);
        press();
        QVERIFY(audit->isOpen());
        QCOMPARE(platform->messageTexts().value(3), "Record added to " + name);
    }

    void recordAnnouncedIsOnDiskWhenTheProgramDies() {
        const QString name = path("audit.CSV");
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            FakePlatform childPlatform;
            childPlatform.openAnswers.push_back(OpenFileChoice{name, 0});
            childPlatform.onMessage = [](const QString& text) {
                if (text.startsWith(QStringLiteral("Record added to ")))
                    ::raise(SIGKILL);
            };
            AuditDataFile childAudit(childPlatform, nullptr);
            childAudit.addRecord(episode(30), patient("Killed"));
            ::_exit(3); // the message never came
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGKILL);
        QCOMPARE(readAll(name),
                 bytes(auditHeaderLine() + auditRecordLine(episode(30), patient("Killed"))));
    }

    void closeReportsOnlyFailures() {
        audit->CloseAuditFile();
        QVERIFY(platform->messages.empty());

        answer(path("audit"), 0);
        press();
        audit->CloseAuditFile();
        QVERIFY(!audit->isOpen());
        QCOMPARE(platform->messages.size(), std::size_t(2));
        audit->CloseAuditFile();
        QCOMPARE(platform->messages.size(), std::size_t(2));

        FakeDevice device;
        device.closeFails = true;
        useSinks(openerFor(device, false));
        answer(QStringLiteral("old.CSV"), 0);
        press();
        audit->CloseAuditFile();
        QCOMPARE(platform->messageTexts().constLast(),
                 QStringLiteral("Failure to close output file."));
        QVERIFY(!audit->isOpen());
    }
};

QTEST_MAIN(AuditDataFileTest)
#include "auditdatafile_test.moc"
