#pragma once

#include <QMetaType>
#include <QObject>
#include <QStringList>

#include <optional>

// A place in a sectioned grid: the section (one group of duplicates) and the
// item inside it, both counted from 0.
struct IndexPath {
    int section = 0;
    int item = 0;

    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};
Q_DECLARE_METATYPE(IndexPath)
Q_DECLARE_METATYPE(std::optional<IndexPath>)

// The one app-wide object whose signals stand for the application's
// notifications: a control emits, any screen connects. Signals are emitted
// synchronously on the GUI thread, so an observer runs before the emitting
// control goes on; observers that must run afterwards connect queued.
class AppNotifier : public QObject {
    Q_OBJECT

public:
    static AppNotifier& instance();

signals:
    // Files and folders dropped on the drop box: their local paths, in the
    // order the drop listed them; never empty.
    void FileDragDropNotification(const QStringList& paths);
    // A right click on an item of the thumbnail grid, before the grid moves
    // its selection there.
    void cellselection(const IndexPath& indexpath);
    // The check box of a thumbnail was clicked; no place when the item had
    // not been filled by the grid yet.
    void SelectUnselectPhoto(const std::optional<IndexPath>& indexpath);
    // The scan history gained a record (a clean-up's remaining duplicates);
    // the home screen's last-scan box reads the newest one again.
    void UpdateLastScanStatus();
    // The settings were set back to their defaults: open panes and the home
    // screen's exclude list read them again.
    void PreferencesResetToDefaults();

private:
    AppNotifier() = default;
};
