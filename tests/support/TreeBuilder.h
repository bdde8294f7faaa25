#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// Builds file trees for scan tests inside a temporary folder that goes away
// with the builder.
class TreeBuilder {
public:
    enum class Place {
        // The system's temporary folder.
        temporary,
        // A folder in memory where the system has one, for trees of many
        // thousands of folders: a disk may take milliseconds per folder removed.
        memory,
    };
    explicit TreeBuilder(Place place = Place::temporary);
    // Removes deep trees too (see chain).
    ~TreeBuilder();
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

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
    // Makes depth nested folders named name in the folder relative ("" the
    // root), each made and opened from the one above it, since their paths
    // soon pass what the system takes in one call. at, when given, runs at
    // each level with its folder open (level 1 the outermost) to put entries
    // there. The tree goes with the builder, whatever its depth.
    void chain(const QString& relative, int depth, const char* name,
        const std::function<void(int folder, int level)>& at = {});

private:
    QTemporaryDir dir_;
    bool deep_ = false;
};

// Removes folder and everything below it, however deep, a folder at a time
// from the one above it; false when something stayed.
bool removeTreeOfAnyDepth(const QString& folder);

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
