#include "cloud/SecretStore.h"
#include "support/FakeHttpServer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// Needs a session bus with an unlocked Secret Service (scripts/test starts
// one); without it there is nothing to test.
TEST(KeychainSecretStore, KeepsReadsAndRemovesAnItem)
{
    KeychainSecretStore store;
    std::optional<bool> written;
    store.writeSecret(QStringLiteral("probe"), QStringLiteral("v1"), [&](bool ok) { written = ok; });
    ASSERT_TRUE(waitUntil([&] { return written.has_value(); }, 30000));
    if (!*written)
        GTEST_SKIP() << "no unlocked Secret Service in this session";
    std::optional<std::optional<QString>> read;
    store.readSecret(QStringLiteral("probe"), [&](std::optional<QString> secret) { read = secret; });
    ASSERT_TRUE(waitUntil([&] { return read.has_value(); }));
    EXPECT_EQ(*read, QStringLiteral("v1"));
    std::optional<bool> removed;
    store.removeSecret(QStringLiteral("probe"), [&](bool ok, const QString&) { removed = ok; });
    ASSERT_TRUE(waitUntil([&] { return removed.has_value(); }));
    read.reset();
    store.readSecret(QStringLiteral("probe"), [&](std::optional<QString> secret) { read = secret; });
    ASSERT_TRUE(waitUntil([&] { return read.has_value(); }));
    EXPECT_FALSE(read->has_value());
}

// Every service's sign-in item goes, whichever run kept it; the test's items
// live under a service name of their own, never the program's.
TEST(KeychainSecretStore, RemovingTheStoredSignInsTakesEveryServicesItem)
{
    KeychainSecretStore store(QStringLiteral("Vellicor test %1").arg(QCoreApplication::applicationPid()));
    const QStringList items { QString::fromLatin1(SecretItem::googleDrive), QString::fromLatin1(SecretItem::dropbox),
        QString::fromLatin1(SecretItem::box) };
    for (const QString& item : items) {
        std::optional<bool> written;
        store.writeSecret(item, QStringLiteral("{}"), [&](bool ok) { written = ok; });
        ASSERT_TRUE(waitUntil([&] { return written.has_value(); }, 30000));
        if (!*written)
            GTEST_SKIP() << "no unlocked Secret Service in this session";
    }
    QObject context;
    std::optional<std::vector<SignInRemoval>> outcomes;
    removeStoredSignIns(store, 30000, &context, [&](std::vector<SignInRemoval> told) { outcomes = std::move(told); });
    ASSERT_TRUE(waitUntil([&] { return outcomes.has_value(); }, 35000));
    ASSERT_EQ(outcomes->size(), 3u);
    for (const SignInRemoval& outcome : *outcomes)
        EXPECT_TRUE(outcome.removed) << outcome.service.toStdString() << ": " << outcome.reason.toStdString();
    for (const QString& item : items) {
        std::optional<std::optional<QString>> read;
        store.readSecret(item, [&](std::optional<QString> secret) { read = secret; });
        ASSERT_TRUE(waitUntil([&] { return read.has_value(); }));
        EXPECT_FALSE(read->has_value()) << item.toStdString();
    }
}
