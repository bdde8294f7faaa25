#pragma once

#include "core/GlobalObjects.h"
#include "home/CategorySwitches.h"

#include <QObject>

class QAbstractButton;
class QWidget;

// The row of file-type switches under the tables: All files, Custom scan and
// one switch per category, showing the states of CategorySwitches, which
// it owns. GUI thread only.
class FileTypeSwitches : public QObject {
    Q_OBJECT
public:
    // Builds the switches in the view.
    explicit FileTypeSwitches(QWidget* view);

    CategorySwitches& switches() { return switches_; }

    void localize();
    // A category switch (by its tag) was toggled.
    void categoryTapped(int tag);
    // All files or Custom scan was chosen (by its tag); 0 only shows the
    // states again.
    void choiceTapped(int tag);

private:
    CategorySwitches switches_;
    QAbstractButton* btnAllFilesSelected_ = nullptr;
    QAbstractButton* btnCustomScanSelected_ = nullptr;
    QAbstractButton* categoryButtons_[fileCategoryCount] = {};
};
