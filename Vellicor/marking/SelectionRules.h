#pragma once

#include "core/FileInfoNode.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <vector>

// One shown file as the selection rules order it. The rules read the record
// itself (its dates, size, extension, path and folder, which nothing changes
// once a result set is shown); whether it was removed is taken with the
// automatic-marking snapshot on the GUI thread, since a clean-up changes it.
struct RuleFile {
    const FileInfoNode* node = nullptr;
    // Its place among the group's shown files before the rules.
    std::uint32_t index = 0;
    // Removed by a clean-up: reordered with the others, never marked.
    bool removed = false;

    static RuleFile of(const FileInfoNode& file, std::uint32_t index = 0)
    {
        return { &file, index, file.isMoveToTrash };
    }
};

// The selection assistant's priority lists as one run reads them: a copy
// taken when the run starts, so a later reordering cannot reach a worker.
struct SelectionPriorities {
    QStringList fileFormatPriorityList;
    QStringList folderPriorityList;
    // The user moved a folder row since the results were shown.
    bool isFolderPriorityUpdate = false;
};

// One group's shown files reordered by the rule named ruleName
// ("DateModified", "FileCreated", "FileSize", "FileFormat", "Folder"; any
// other name leaves them as they are). Every ordering is stable. The date
// rules never move a file without that date, nor any file past it: such files
// split the group into stretches, each ordered on its own, newest first. The
// format and folder rules bring the files of the highest entry that occurs in
// the group to the front, both parts in their previous order. Pure; safe on
// any thread.
std::vector<RuleFile> applySelectionRule(
    std::vector<RuleFile> files, const QString& ruleName, const SelectionPriorities& priorities);

// The names of the enabled rules of a stored "autoMarkingRules" list, most
// important first. A rule is enabled when its "state" is true or the number
// 1; entries that are no dictionaries or have no name are skipped.
QStringList enabledSelectionRules(const QVariant& storedRules);
