#pragma once

#include "core/GlobalObjects.h"

#include <QObject>

#include <optional>

class CustomPopUpButton;
class QLabel;
class QWidget;

// The scan source pop-up at the foot of the lists ("viewScanSource"): its
// label, its items by tag and the mark on the chosen one. It tells which
// item the user activated; what a change of source does is the screen's.
// GUI thread only.
class ScanSourcePicker : public QObject {
    Q_OBJECT
public:
    // Builds the pop-up in the view.
    explicit ScanSourcePicker(QWidget* view);

    // The label and the items' titles; the items are made anew.
    void localize();
    // Once, after localize(): the chosen source shown, the items of sources
    // this system lacks hidden, the mark and the open list's look.
    void finishSetUp();
    // The source of an item; none for a separator.
    std::optional<ScanSource> sourceAt(int index) const;

signals:
    void activated(int index);

private:
    QLabel* label_ = nullptr;
    CustomPopUpButton* popUp_ = nullptr;
};

// The language key of a scan source's title, as the source pop-up, the
// sign-in sheets and the alerts name it.
const char* scanSourceTitleKey(ScanSource source);

// The tag a source's item carries in the source pop-up, and back.
constexpr int scanSourceTag(ScanSource source)
{
    return 100 + static_cast<int>(source);
}
std::optional<ScanSource> scanSourceOfTag(qint64 tag);
