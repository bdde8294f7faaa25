#pragma once

#include <QObject>
#include <QString>

#include <optional>

class LinkButton;
class QLabel;
class QWidget;

// The last-scan box of the right-hand column: when the last scan ran, the
// duplicates it found and the space they take, and either a hint to add a
// folder or the link to the last result. GUI thread only.
class LastScanBox : public QObject {
    Q_OBJECT
public:
    // Builds the box in the view.
    explicit LastScanBox(QWidget* view);

    void localize();
    // Once: the link's title.
    void finishSetUp();
    // The link once there is a last result to view. Without one, the hint to
    // add folders while it still tells the user where to start: no scan has
    // been recorded in the box and scanListEmpty says the scan list holds
    // nothing.
    void showHint(bool scanListEmpty);
    // A scan recorded: the hint has done its work.
    void showRecord(const QString& dupCount, const QString& dupSize, const std::optional<QString>& scanTime);

signals:
    // The link to the last result was clicked.
    void viewDetailsTapped();

private:
    QWidget* box_ = nullptr;
    QLabel* lblLastScanTIme_ = nullptr;
    QLabel* lblLastScanDupFileCount_ = nullptr;
    QLabel* lblLastScanDupFileSize_ = nullptr;
    QLabel* infoIcon_ = nullptr;
    QLabel* lblAddFolderToFindDups_ = nullptr;
    LinkButton* btnLastScanResult_ = nullptr;
    bool scanListEmpty_ = true;
    bool scanRecorded_ = false;
};
