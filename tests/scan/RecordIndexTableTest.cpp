#include "scan/RecordIndexTable.h"

#include "core/RecordText.h"

#include <QHash>
#include <QString>
#include <gtest/gtest.h>

#include <set>
#include <vector>

// Keys whose hashes agree are told apart by the owner's records, and none is
// lost while the table doubles.
TEST(RecordIndexTable, KeysOfOneHashStayApartAndNoneIsLostAsTheTableGrows)
{
    std::vector<QString> keys;
    RecordIndexTable table;
    const auto add = [&](const QString& key, std::size_t hash) {
        const std::optional<quint32> found
            = table.findOrInsert(hash, quint32(keys.size()), [&](quint32 place) { return keys[place] == key; });
        if (!found)
            keys.push_back(key);
        return found;
    };
    // Every key of one hash, then many of their own.
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(add(QString::number(i), 42));
    for (int i = 100; i < 100000; ++i)
        EXPECT_FALSE(add(QString::number(i), qHash(QString::number(i))));
    EXPECT_EQ(table.size(), 100000u);
    // Met again, each is found at its own place.
    for (int i = 0; i < 100000; i += 997)
        EXPECT_EQ(
            add(QString::number(i), i < 100 ? 42 : qHash(QString::number(i))), std::optional<quint32>(quint32(i)));
    EXPECT_EQ(table.size(), 100000u);
}

// Paths and checksums made to gather in one run of slots under the plain
// hash (which is the same in every run, so an outsider can compute it) are
// spread by the hash the table's owners find them by.
TEST(RecordIndexTable, KeysMadeToShareSlotsUnderThePlainHashAreSpread)
{
    if (QHashSeed::globalSeed() == 0)
        GTEST_SKIP() << "hashes are made the same in every run here (QT_HASH_SEED)";
    // The slot of a hash in a table of 1024 slots.
    const auto slot = [](std::size_t hash) { return quint32(hash ^ (quint64(hash) >> 32)) & 1023u; };
    constexpr int gathered = 300;
    std::vector<QString> paths;
    std::vector<DigestText> checksums;
    for (quint64 i = 0; paths.size() < gathered || checksums.size() < gathered; ++i) {
        const QString path = QStringLiteral("dropbox/camera/%1.jpg").arg(i);
        if (paths.size() < gathered && slot(qHash(path)) == 7)
            paths.push_back(path);
        const DigestText checksum(QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0')));
        if (checksums.size() < gathered && slot(qHash(checksum)) == 7)
            checksums.push_back(checksum);
    }
    const auto slotsTaken = [&](const auto& keys) {
        std::set<quint32> taken;
        for (const auto& key : keys)
            taken.insert(slot(RecordIndexTable::hashOf(key)));
        return taken.size();
    };
    EXPECT_GT(slotsTaken(paths), std::size_t(gathered / 2));
    EXPECT_GT(slotsTaken(checksums), std::size_t(gathered / 2));
}
