#include "controls/ColumnFitter.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHeaderView>

#include <algorithm>
#include <utility>

ColumnFitter::ColumnFitter(
    QAbstractItemView& view, QHeaderView& header, std::vector<int> leastWidths, std::vector<int> growingColumns)
    : QObject(&view)
    , view_(view)
    , header_(header)
    , leastWidths_(std::move(leastWidths))
    , growingColumns_(std::move(growingColumns))
{
    // The last column is one of the others: the view's width is shared out
    // here, and what does not fit is scrolled to.
    header_.setStretchLastSection(false);
    view_.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (std::size_t column = 0; column < leastWidths_.size(); ++column)
        header_.resizeSection(int(column), leastWidths_[column]);
    view_.viewport()->installEventFilter(this);
    connect(&header_, &QHeaderView::sectionResized, this, [this](int logicalIndex) { sectionResized(logicalIndex); });
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event)
{
    // The type comes first: the viewport's last events arrive while the view
    // around it is being destroyed, when the view must not be asked anything.
    if (event->type() == QEvent::Resize && watched == view_.viewport())
        fit();
    return false;
}

void ColumnFitter::sectionResized(int logicalIndex)
{
    if (!fitting_)
        fitExcept(logicalIndex);
}

void ColumnFitter::fitExcept(int keptColumn)
{
    std::vector<int> growing;
    for (const int column : growingColumns_) {
        if (column != keptColumn && column < header_.count() && !header_.isSectionHidden(column))
            growing.push_back(column);
    }
    if (growing.empty())
        return;
    int room = view_.viewport()->width() - header_.length();
    if (room == 0)
        return;
    const auto least = [this](int column) {
        return column < int(leastWidths_.size()) ? leastWidths_[std::size_t(column)] : header_.minimumSectionSize();
    };
    std::vector<int> widths;
    for (const int column : growing)
        widths.push_back(header_.sectionSize(column));
    if (room > 0) {
        // Equal shares; the last growing column takes what does not divide.
        const int share = room / int(growing.size());
        for (int& width : widths)
            width += share;
        widths.back() += room - share * int(growing.size());
    } else {
        // Taken evenly from the columns still above their least widths.
        while (room < 0) {
            std::vector<std::size_t> above;
            for (std::size_t i = 0; i < growing.size(); ++i) {
                if (widths[i] > least(growing[i]))
                    above.push_back(i);
            }
            if (above.empty())
                break;
            const int share = std::max(1, -room / int(above.size()));
            for (const std::size_t i : above) {
                const int taken = std::min({ share, widths[i] - least(growing[i]), -room });
                widths[i] -= taken;
                room += taken;
            }
        }
    }
    fitting_ = true;
    for (std::size_t i = 0; i < growing.size(); ++i)
        header_.resizeSection(growing[i], widths[i]);
    fitting_ = false;
}
