#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

// The build and test scripts run on any machine: what they keep (builds,
// compiler caches, screenshots) lies in the checkout or in the user's own
// folders, never in a fixed folder another machine may not have.
TEST(Scripts, NameNoFolderOutsideTheCheckoutAndTheUsersFolders)
{
    const QDir scripts(QStringLiteral(VELLICOR_SOURCE_DIR "/scripts"));
    // An absolute path: one that does not follow a variable (quoted or not),
    // a name or another slash.
    const QRegularExpression absolute(QStringLiteral(R"((?<![\w.$}/])(?<![\w}]")/[A-Za-z][\w.-]*(?:/[\w.-]+)*)"));
    const QStringList system { QStringLiteral("/usr/bin/env"), QStringLiteral("/dev/null") };
    int read = 0;
    for (const QString& name : scripts.entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".md")) || name.endsWith(QLatin1String(".supp")))
            continue;
        QFile file(scripts.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        ++read;
        for (const auto& match : absolute.globalMatch(QString::fromUtf8(file.readAll())))
            EXPECT_TRUE(system.contains(match.captured()))
                << match.captured().toStdString() << " in " << name.toStdString();
    }
    EXPECT_GE(read, 5);
}
