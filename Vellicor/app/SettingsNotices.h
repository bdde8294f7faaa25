#pragma once

#include "base/UserDefaults.h"
#include "scan/ScanSources.h"

#include <QObject>
#include <QString>

#include <optional>

struct AlertRequest;

// Tells the user when the settings store could not read its file at start or
// cannot save it, so that protected folders and lists never vanish without a
// word. A failed save is told once per run of failures (the store says when
// one begins), and never while the previous notice is still open. The folders of
// the program's own that are refused (FolderRefusals: the settings, cache,
// state or runtime folder another user could shape) are told once, all those
// met before the window is up in one alert at start, later ones when met. A list change refused for its length (ScanSources) is told at once,
// whichever screen made it. GUI thread; the store and the refusals may report
// from any thread.
class SettingsNotices : public QObject {
    Q_OBJECT
public:
    explicit SettingsNotices(UserDefaults& defaults, QObject* parent = nullptr);

    // The folders refused so far, then the problem the store met reading its
    // file at start, if any; once per run of the program.
    void tellReadProblemAtStart();

    // Tells every refusal of the sources' lists for their length.
    void watchLists(ScanSources& sources);

    // The alerts as they are shown.
    static AlertRequest readProblemAlert(const SettingsReadProblem& problem);
    static AlertRequest saveFailedAlert(UserDefaults::SaveFault fault, const QString& reason, const QString& folder);
    static AlertRequest listTooLongAlert(SourceList which, int largest);

private:
    void tellSaveFailed(UserDefaults::SaveFault fault, const QString& reason);
    void tellFolderRefusals();

    UserDefaults& defaults_;
    bool toldReadProblem_ = false;
    bool showing_ = false;
};
