// The results screen in a window of another size than the one its frames are
// made for: the bars keep their heights, the header and toolbar stay at the
// top and the footer at the bottom, the split view takes the height between.
// A narrower window narrows the bars' controls in proportion; a wider one
// moves the controls that sit at the right edge along with it.
#include "results/ResultViewController.h"

#include "controls/LayoutFrame.h"

#include <QSplitter>

#include <algorithm>
#include <cmath>

void ResultViewController::rememberBaseLayout()
{
    baseGeometry_.clear();
    for (QWidget* bar : { boxHeader_, boxHeaderDetail_, boxCategories_, boxFooter_ }) {
        baseGeometry_.push_back({ bar, bar->geometry() });
        for (QWidget* child : bar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            baseGeometry_.push_back({ child, child->geometry() });
    }
    baseGeometry_.push_back({ viewSplit_, viewSplit_->geometry() });
}

void ResultViewController::fitLayoutToSize()
{
    if (baseGeometry_.empty())
        return;
    const int baseWidth = mainWindowContentSize.width();
    const double scale = std::min(1.0, double(width()) / baseWidth);
    const int extra = std::max(0, width() - baseWidth);
    int footerHeight = 0;
    for (const auto& [widget, base] : baseGeometry_) {
        if (widget == boxFooter_)
            footerHeight = base.height();
    }
    for (const auto& [widget, base] : baseGeometry_) {
        if (!widget)
            continue;
        QWidget* bar = widget->parentWidget();
        if (widget == boxFooter_) {
            widget->setGeometry(0, height() - base.height(), width(), base.height());
        } else if (widget == viewSplit_) {
            widget->setGeometry(0, base.y(), width(), std::max(0, height() - base.y() - footerHeight));
        } else if (bar == viewListing_) {
            widget->setGeometry(0, base.y(), width(), base.height());
        } else if (scale < 1.0) {
            const int left = int(std::lround(base.x() * scale));
            const int right = int(std::lround((base.x() + base.width()) * scale));
            widget->setGeometry(left, base.y(), right - left, base.height());
        } else {
            // The controls at the right edge, and the footer's buttons, which
            // stand together at the right.
            const bool atRight
                = base.right() >= baseWidth - 30 || (bar == boxFooter_ && base.center().x() > baseWidth / 2);
            widget->setGeometry(base.translated(atRight ? extra : 0, 0));
        }
    }
}
