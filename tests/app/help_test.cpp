// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/helptopic.h"

#include "fakeplatform.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace caldrin;
using caldrin::testing::FakePlatform;

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    // Every window's key: the contents first, then the jump to the key's topic,
    // both in the one help file.
    void opensTheContentsThenJumpsToTheTopic_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("command");
        QTest::newRow("main window")
            << QStringLiteral("contents") << QStringLiteral("JumpID(\"\",\"contents\")");
        QTest::newRow("score pages")
            << QStringLiteral("run") << QStringLiteral("JumpID(\"\",\"run\")");
        QTest::newRow("report and details")
            << QStringLiteral("create") << QStringLiteral("JumpID(\"\",\"create\")");
        QTest::newRow("self-test")
            << QStringLiteral("hash") << QStringLiteral("JumpID(\"\",\"hash\")");
    }
    void opensTheContentsThenJumpsToTheTopic() {
        QFETCH(QString, key);
        QFETCH(QString, command);
        FakePlatform platform;

        ShowHelpTopic(platform, key);

        QCOMPARE(platform.helpCalls.size(), std::size_t(2));
        QVERIFY(platform.helpCalls[0].isContents);
        QCOMPARE(platform.helpCalls[0].file, QStringLiteral("Caldrin v3.hlp"));
        QVERIFY(!platform.helpCalls[1].isContents);
        QCOMPARE(platform.helpCalls[1].file, QStringLiteral("Caldrin v3.hlp"));
        QCOMPARE(platform.helpCalls[1].command, command);
        QVERIFY(platform.messages.empty());
    }

    // A viewer that could not open the file gets no topic to jump to, and the
    // user sees nothing from the program.
    void noJumpWhenTheContentsCannotBeOpened() {
        FakePlatform platform;
        platform.helpContentsSucceeds = false;

        ShowHelpTopic(platform, QStringLiteral("run"));

        QCOMPARE(platform.helpCalls.size(), std::size_t(1));
        QVERIFY(platform.helpCalls[0].isContents);
        QVERIFY(platform.messages.empty());
    }

    // Each press asks again: the program keeps nothing about the viewer.
    void everyPressRepeatsBothRequests() {
        FakePlatform platform;

        ShowHelpTopic(platform, QStringLiteral("create"));
        ShowHelpTopic(platform, QStringLiteral("create"));

        QCOMPARE(platform.helpCalls.size(), std::size_t(4));
        QVERIFY(platform.helpCalls[2].isContents);
        QCOMPARE(platform.helpCalls[3].command, QStringLiteral("JumpID(\"\",\"create\")"));
    }

    void theCommandIsCutAt255Characters() {
        const QString key(300, QLatin1Char('k'));
        const QString command = helpJumpCommand(key);
        QCOMPARE(command.size(), 255);
        QVERIFY(command.startsWith(QStringLiteral("JumpID(\"\",\"kkk")));
    }

    // A citation's number is the place of its reference in the list, so a
    // reference inserted or moved without renumbering the text is caught.
    void citationsNumberTheirReferencesInListOrder() {
        QFile file(QStringLiteral(CALDRIN_HELP_FILE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());

        QStringList references;
        static const QRegularExpression entry(QStringLiteral("<li id=\"(ref-[^\"]+)\""));
        for (const QRegularExpressionMatch& match : entry.globalMatch(html))
            references << match.captured(1);
        QVERIFY(references.size() >= 4);

        QSet<QString> cited;
        static const QRegularExpression citation(
            QStringLiteral("<a href=\"#(ref-[^\"]+)\">(\\d+)</a>"));
        for (const QRegularExpressionMatch& match : citation.globalMatch(html)) {
            const QString id = match.captured(1);
            QVERIFY2(references.contains(id), qPrintable(id));
            QCOMPARE(match.captured(2).toInt(), references.indexOf(id) + 1);
            cited.insert(id);
        }
        for (const QString& id : references)
            QVERIFY2(cited.contains(id), qPrintable(id + " is never cited"));
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
