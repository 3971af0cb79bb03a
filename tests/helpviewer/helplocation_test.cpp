// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/helplocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace caldrin {
namespace {

const QString kHelpFile = QStringLiteral("Caldrin v3.hlp");

// A prefix with the program's folder and the two installed folders, as the
// build was configured to install them.
class HelpLocation : public ::testing::Test {
protected:
    QTemporaryDir prefix;
    QString bin = prefix.filePath(QStringLiteral(CALDRIN_INSTALL_BINDIR));
    QString data = prefix.filePath(QStringLiteral(CALDRIN_INSTALL_DATADIR));
    QString viewer = prefix.filePath(QStringLiteral(CALDRIN_INSTALL_VIEWERDIR));

    void SetUp() override {
        ASSERT_TRUE(prefix.isValid());
        for (const QString& folder : {bin, data, viewer})
            ASSERT_TRUE(QDir().mkpath(folder));
    }

    static void place(const QString& folder, const QString& name) {
        QFile file(QDir(folder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
};

TEST_F(HelpLocation, InstalledFilesAreFoundFromTheProgramsFolder) {
    place(data, kHelpFile);
    place(viewer, QStringLiteral("caldrin-help"));
    EXPECT_EQ(helpFileDirectory(bin, kHelpFile), QDir::cleanPath(data));
    EXPECT_EQ(helpViewerDirectory(bin), QDir::cleanPath(viewer));
}

// A build tree keeps everything beside the program; that copy wins over an
// installed one, so a developer's build never shows an older installed help.
TEST_F(HelpLocation, FilesBesideTheProgramComeFirst) {
    for (const QString& folder : {bin, data})
        place(folder, kHelpFile);
    for (const QString& folder : {bin, viewer})
        place(folder, QStringLiteral("caldrin-help"));
    EXPECT_EQ(helpFileDirectory(bin, kHelpFile), QDir::cleanPath(bin));
    EXPECT_EQ(helpViewerDirectory(bin), QDir::cleanPath(bin));
}

// With nothing found, the installed folder is named, where --help says the
// file is missing.
TEST_F(HelpLocation, NothingFoundNamesTheInstalledFolders) {
    EXPECT_EQ(helpFileDirectory(bin, kHelpFile), QDir::cleanPath(data));
    EXPECT_EQ(helpViewerDirectory(bin), QDir::cleanPath(viewer));
}

} // namespace
} // namespace caldrin
