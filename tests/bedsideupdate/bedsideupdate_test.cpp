// SPDX-License-Identifier: GPL-3.0-or-later
// Setting the bedside update from a chosen file: what cannot be read is
// refused before anything is asked, and a copy that cannot be written
// leaves what was in place. (Both programs' windows test the confirmation.)

#include "bedsideupdate/bedsideupdate.h"
#include "fakeplatform.h"
#include "updatefixtures.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

using namespace caldrin;
using caldrin::testing::FakePlatform;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray sampleDocument() {
    return QByteArray::fromStdString(
        modelupdate::updateDocument(testing::updatefixtures::sampleUpdate()).text);
}

void clickUse(QDialog& dialog) {
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    for (QAbstractButton* button : box.buttons())
        if (button->text() == QStringLiteral("&Use this update"))
            button->click();
}

} // namespace

class BedsideUpdateTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePlatform platform;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
        QVERIFY(bedsideupdate::updatePath().startsWith(dir.path()));
    }
    void init() {
        platform = FakePlatform();
        QDir(dir.filePath(QStringLiteral("config"))).removeRecursively();
    }

    void refusesWhatCannotBeAnUpdateBeforeAsking_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // none: a folder of that name
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << "folder.json" << QByteArray() << "cannot be read";
        QTest::newRow("larger than an update can be")
            << "large.json" << QByteArray(int(modelupdate::kLargestFile) + 1, ' ')
            << "larger than an update can be";
        QTest::newRow("damaged") << "damaged.json" << sampleDocument().left(100) << "cut short";
    }
    void refusesWhatCannotBeAnUpdateBeforeAsking() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString path = dir.filePath(name);
        if (bytes.isEmpty())
            QVERIFY(QDir().mkpath(path));
        else
            writeFile(path, bytes);
        // No confirmation is expected: the fake platform fails one shown.
        QVERIFY(!bedsideupdate::useAtBedside(platform, nullptr, QStringLiteral("Test"),
                                             bedsideupdate::readOnce(path)));
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY2(platform.messages[0].text.contains(reason), qPrintable(platform.messages[0].text));
        QVERIFY(platform.messages[0].text.endsWith(QStringLiteral("Nothing was changed.")));
        QVERIFY(!QFileInfo::exists(bedsideupdate::updatePath()));
    }

    void aCopyThatCannotBeWrittenChangesNothing() {
        // A file where the calculator's folder should be: no folder, no copy.
        const QString folder = QFileInfo(bedsideupdate::updatePath()).absolutePath();
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        writeFile(folder, "not a folder");
        platform.modalHandlers.push_back(clickUse);
        QVERIFY(!bedsideupdate::useAtBedside(platform, nullptr, QStringLiteral("Test"),
                                             bedsideupdate::checked(sampleDocument())));
        QVERIFY(platform.modalHandlers.empty());
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY2(platform.messages[0].text.contains(QStringLiteral("could not be copied")),
                 qPrintable(platform.messages[0].text));
        QVERIFY(QFileInfo(folder).isFile());

        // Once the folder can be made, the same bytes are copied whole.
        QVERIFY(QFile::remove(folder));
        platform.modalHandlers.push_back(clickUse);
        QVERIFY(bedsideupdate::useAtBedside(platform, nullptr, QStringLiteral("Test"),
                                            bedsideupdate::checked(sampleDocument())));
        QFile copy(bedsideupdate::updatePath());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), sampleDocument());
        const bedsideupdate::InPlace inPlace = bedsideupdate::readInPlace();
        QVERIFY(inPlace.update);
        QCOMPARE(*inPlace.update, testing::updatefixtures::sampleUpdate());
    }
};

QTEST_MAIN(BedsideUpdateTest)
#include "bedsideupdate_test.moc"
