#pragma once
// Runs SQL on a database file, made when missing: how the tests build the
// catalogs and libraries they read, hostile ones among them.
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>

inline void runSqlScript(const QString& database, const QString& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(database).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}
