#include "scan/RecordIndexTable.h"

#include <QHash>
#include <QString>
#include <gtest/gtest.h>

#include <vector>

// Keys whose hashes agree are told apart by the owner's records, and none is
// lost while the table doubles.
TEST(RecordIndexTable, KeysOfOneHashStayApartAndNoneIsLostAsTheTableGrows)
{
    std::vector<QString> keys;
    RecordIndexTable table;
    const auto add = [&](const QString& key, std::size_t hash) {
        const std::optional<quint32> found = table.findOrInsert(
            hash, quint32(keys.size()), [&](quint32 place) { return keys[place] == key; });
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
        EXPECT_EQ(add(QString::number(i), i < 100 ? 42 : qHash(QString::number(i))), std::optional<quint32>(quint32(i)));
    EXPECT_EQ(table.size(), 100000u);
}
