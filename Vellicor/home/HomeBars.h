#pragma once

#include <QObject>

class IMGButton;
class QLabel;
class QWidget;

// The two bars of the home screen: the step header across the top (select
// folders, then clean duplicates) and the footer with Scan Now, whose state
// the screen sets. GUI thread only.
class HomeBars : public QObject {
    Q_OBJECT
public:
    // Builds both bars in the view.
    explicit HomeBars(QWidget* view);

    IMGButton* scanNowButton() const { return btnScanNow_; }

    void localize();
    // Once: Scan Now's title, images and colours.
    void finishSetUp();
    // Scan Now's images, font and colours, on any button (the gallery's too).
    static void giveScanNowItsLook(IMGButton& button);
    void setScanNowState(int state, bool enabled);

private:
    QLabel* lblSelectFolderFiles_ = nullptr;
    QLabel* lblCleanDuplicates_ = nullptr;
    IMGButton* btnScanNow_ = nullptr;
};
