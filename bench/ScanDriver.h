#pragma once

#include "core/DuplicateGroup.h"
#include "core/FilePathNode.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdio>
#include <optional>
#include <variant>
#include <vector>

class UserDefaults;

// The headless scan driver behind vellicor-scan: the application's scan
// engine run once over the folders named on the command line, for benchmarks
// and comparisons with other duplicate finders.

inline constexpr char scanDriverUsage[]
    = "usage: vellicor-scan [--attributes] [--criteria 1,3,...] [--min-size-option N] PATH...";

// What the command line asks for; the settings it overrides hold for this run
// only.
struct ScanDriverOptions {
    // Compare by the criteria alone ("search_content" 2) instead of by content.
    bool attributes = false;
    // "search_options": integers 1 to 5.
    std::optional<QVariantList> criteria;
    // "excludeDuplicateLessSizeInKB".
    std::optional<qint64> minSizeOption;
    QStringList paths;
};

// The options of a command line (without the program name), or what is wrong
// with it.
std::variant<ScanDriverOptions, QString> parseScanDriverArguments(const QStringList& arguments);

// The driver's settings as volatile values of defaults, never saved: every file
// type chosen, no extension excluded, and the command line's overrides.
void applyScanDriverSettings(UserDefaults& defaults, const ScanDriverOptions& options);

// Groups of two or more in the plain form other duplicate finders print: one
// path per line, an empty line after each group. Paths are escaped as the log
// escapes names (backslashes doubled, control and invisible characters as
// escapes); any other path is printed as it is.
void writeDuplicateGroups(const std::vector<DuplicateGroupPtr>& groups, std::FILE* out);

// Runs the whole driver on the GUI thread of a running QCoreApplication: the
// groups go to out, the summary or any complaint to err. Exit status 0 after a
// scan, 2 for a command line or a path that cannot be scanned. With
// endProcess, the process ends with status 0 right after a scan's summary,
// leaving the scan's records to the system: freeing a large scan's records one
// by one takes longer than everything else after the scan.
int runScanDriver(const QStringList& arguments, std::FILE* out, std::FILE* err, bool endProcess = false);
