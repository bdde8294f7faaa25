#include "cloud/SecretStore.h"
#include "support/FakeHttpServer.h"

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
    store.removeSecret(QStringLiteral("probe"), [&](bool ok) { removed = ok; });
    ASSERT_TRUE(waitUntil([&] { return removed.has_value(); }));
    read.reset();
    store.readSecret(QStringLiteral("probe"), [&](std::optional<QString> secret) { read = secret; });
    ASSERT_TRUE(waitUntil([&] { return read.has_value(); }));
    EXPECT_FALSE(read->has_value());
}
