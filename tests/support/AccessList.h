#pragma once

// Access lists written as the kernel keeps them, in the extended attribute
// "system.posix_acl_access", so that a test needs no tool to give one.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <initializer_list>
#include <sys/xattr.h>

struct AccessEntry {
    enum Tag : quint16 { userObj = 0x01, user = 0x02, groupObj = 0x04, group = 0x08, mask = 0x10, other = 0x20 };
    Tag tag;
    // Read 4, write 2, execute (enter) 1.
    quint16 permissions;
    // The user or group of a named entry; none for the others.
    quint32 id = 0xffffffffu;
};

// The attribute's bytes: a version, then each entry's tag, permissions and
// id, little-endian.
inline QByteArray accessListBytes(std::initializer_list<AccessEntry> entries)
{
    QByteArray list;
    const auto add = [&list](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            list.append(char((value >> (8 * i)) & 0xff));
    };
    add(2, 4);
    for (const AccessEntry& entry : entries) {
        add(entry.tag, 2);
        add(entry.permissions, 2);
        add(entry.id, 4);
    }
    return list;
}

// Gives path the access list, its entries in the order of their tags (and
// ids) as the kernel asks; false where its file system keeps none.
inline bool setAccessList(const QString& path, std::initializer_list<AccessEntry> entries)
{
    const QByteArray list = accessListBytes(entries);
    return ::setxattr(QFile::encodeName(path).constData(), "system.posix_acl_access", list.constData(),
               size_t(list.size()), 0)
        == 0;
}
