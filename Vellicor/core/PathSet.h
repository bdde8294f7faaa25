#pragma once

#include <QSet>
#include <QString>

#include <memory>
#include <vector>

class FilePathNode;

// Many paths at once, for the two questions the location lists ask of a
// whole choice of folders: is a path one of them exactly, and is a folder one
// of them or above one (by whole components, "." and doubled slashes not
// counting). Each path is cleaned once; a question costs a hash look-up or a
// binary search, whatever the number of paths. Letter case is told apart or
// ignored (compared lower-cased) as asked.
class PathSet {
public:
    enum class LetterCase { exact, ignored };

    explicit PathSet(LetterCase letterCase = LetterCase::exact)
        : letterCase_(letterCase)
    {
    }

    // The paths of a location list's rows (those that have one).
    static PathSet ofRows(
        const std::vector<std::shared_ptr<FilePathNode>>& rows, LetterCase letterCase = LetterCase::exact);

    // Adds a path; an empty one is passed over.
    void insert(const QString& path);
    // path is one of the paths exactly as given (letter case as asked).
    bool contains(const QString& path) const;
    // folder is one of the paths or a folder above one.
    bool holdsSameOrBelow(const QString& folder) const;

private:
    QString comparable(const QString& path) const;
    void sortOnce() const;

    LetterCase letterCase_ = LetterCase::exact;
    QSet<QString> exact_;
    // Each path cleaned, with a slash after it (but "/"), in order once
    // asked: the paths below a folder follow its own key.
    mutable std::vector<QString> keys_;
    mutable bool sorted_ = true;
    bool holdsAny_ = false;
};
