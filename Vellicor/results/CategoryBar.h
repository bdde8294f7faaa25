#pragma once

#include "controls/LayoutFrame.h"
#include "core/GlobalObjects.h"

#include <QObject>

#include <functional>
#include <memory>

class OptionPopover;
class QWidget;
class RAZButton;

// The results screen's row of category buttons (All and the six
// categories) with the arrow under the one shown, the pop-up that says a
// category has no duplicates, and the row's fit over the list. A click goes
// out as the category asked for (-1 for All). GUI thread only.
class CategoryBar : public QObject {
public:
    explicit CategoryBar(std::function<void(int category)> chosen);
    ~CategoryBar() override;

    void build(QWidget* parent);
    QWidget* row() const { return boxCategories_; }

    // -1 for All, else the raw category shown selected.
    void highlight(int category);
    int highlighted() const { return highlighted_; }
    void showNoDuplicatesPopover(GlobalObjects::FileCategory category, const QString& heading);
    void setEnabled(bool enable);
    bool isEnabled() const;
    RAZButton* button(int index) const { return buttons_[index]; }
    // Keeps the buttons over the list, whose right edge is edgeInScreen in
    // screen's coordinates: where the list is narrower than the row as laid
    // out in frames, the buttons narrow alike and keep their gaps.
    void fit(const FrameTable& frames, QWidget* screen, QPoint edgeInScreen);
    // The arrows' frames under the buttons' frames.
    static void placeArrows(FrameTable& frames);

private:
    std::function<void(int)> chosen_;
    QWidget* boxCategories_ = nullptr;
    RAZButton* buttons_[7] = {};
    QWidget* arrows_[7] = {};
    int highlighted_ = -1;
    std::unique_ptr<OptionPopover> popover_;
};
