#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Builds file trees for scan tests inside a temporary folder that goes away
// with the builder.
class TreeBuilder {
public:
    TreeBuilder();

    QString root() const { return dir_.path(); }
    QString path(const QString& relative) const;

    // Writes a file (creating its folders) and returns its full path.
    QString file(const QString& relative, const QByteArray& contents);
    QString folder(const QString& relative);
    QString symlink(const QString& relative, const QString& target);
    QString hardLink(const QString& relative, const QString& existing);
    QString fifo(const QString& relative);
    // Sets the modification time, in whole seconds since 1970.
    void setModificationTime(const QString& relative, qint64 secondsSinceEpoch);

private:
    QTemporaryDir dir_;
};

// Takes away, for the calling thread and the threads it starts, the root
// privilege of reading any file; so tests that run as root can still meet an
// unreadable folder. Restores it when it goes.
class ScopedNoReadOverride {
public:
    ScopedNoReadOverride();
    ~ScopedNoReadOverride();
    ScopedNoReadOverride(const ScopedNoReadOverride&) = delete;
    ScopedNoReadOverride& operator=(const ScopedNoReadOverride&) = delete;

private:
    bool changed_ = false;
    unsigned effective_[2] = { 0, 0 };
};
