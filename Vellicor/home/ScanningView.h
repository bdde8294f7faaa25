#pragma once

#include <QObject>
#include <QString>

class CircularProgressBarView;
class QFrame;
class QLabel;
class QWidget;
class RAZButton;
struct ScanningLabels;

// The view over the lists while a scan runs and after it ends
// ("boxScanDetail"): the stage, the progress ring and the counters, the path
// being read, and Stop, View Details and Back. It shows what the scan engine
// tells the screen and tells the clicks by signals. GUI thread only.
class ScanningView : public QObject {
    Q_OBJECT
public:
    // Builds the view in the home view, hidden.
    explicit ScanningView(QWidget* view);

    void localize();
    // Once: the buttons' looks.
    void finishSetUp();

    void showLabels(const ScanningLabels& labels);
    void showScannedPath(const QString& line, const QString& toolTip);
    // Also moves the keys off the controls below: to Stop while the scan
    // runs, and to the report, where no key acts, while it finishes.
    void showState(bool isScanning, bool hideResultViewButton);
    void setAbortEnabled(bool enabled);
    void setResultEnabled(bool enabled);
    void showSheet();
    void hideSheet();
    void hide();

signals:
    void abortTapped();
    void viewDetailsTapped();
    void backTapped();

private:
    QFrame* boxScanDetail_ = nullptr;
    QFrame* boxWindowScanning_ = nullptr;
    QWidget* report_ = nullptr;
    CircularProgressBarView* progressCircular_ = nullptr;
    QLabel* imgViewProgress_ = nullptr;
    QLabel* lblScannedFilePath_ = nullptr;
    RAZButton* btnAbortScanning_ = nullptr;
    RAZButton* btnShowResultDetail_ = nullptr;
    RAZButton* btnBackToAddFolder_ = nullptr;
};
