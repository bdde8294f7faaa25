#pragma once

#include "core/GlobalObjects.h"

#include <QString>
#include <QStringList>

#include <vector>

class ResultsState;
struct RemovalReport;
struct RestoreOutcome;

// What the result area shows once a clean-up or an undo has changed the
// groups.
enum class ResultArea {
    // The list of groups.
    listing,
    // Groups are left, none under the chosen category: the list stays, empty,
    // and the mark menu button is disabled.
    emptyCategory,
    // No group is left at all: the success view.
    allRemoved,
};

// Drops from arrMainGroup the groups that hold fewer than two files, shows
// the rest (the chosen category's groups, or all) sorted, and recounts the
// marked totals. GUI thread.
ResultArea updateResultsAfterRemoval(ResultsState& state);

// Puts the files an undo brought back into their groups: each record takes
// the identity of its file on disk (and its times, unless it changed since
// the removal), and a file the removal took out of its group goes back, once;
// a group no longer listed is listed again at the end. Gives how many went
// back. GUI thread.
qint64 returnRestoredFiles(ResultsState& state, const std::vector<const RestoreOutcome*>& restored);

// The after-clean window's texts for one ended run. Empty texts stay hidden.
struct AfterCleanFigures {
    // False for a run that removed nothing: the success line stays hidden.
    bool anyRemoved = false;
    QString totalDupsCleaned;
    QString duplicatesRemoved;
    QString dupCleaned;
    QString dupSizeCleaned;
    QString uniqueFilesRetain;
    QString uniqueFilesRetained;
    QString inCaseMistake;
    // How to finish in the photo library; only when its items took part.
    QString trashInfoAfterClean;
    QString dupCleanedLibrary;
    // The files the run left where they were, "path: reason" each, and a
    // last line when Stop ended the run early.
    QString notRemovedHeading;
    QStringList notRemoved;
};

AfterCleanFigures afterCleanFigures(const RemovalReport& report, ScanSource source);
