#include "results/CategoryPie.h"

namespace CategoryPie {

const std::array<QColor, slotCount>& colors()
{
    static const std::array<QColor, slotCount> table { QColor(227, 175, 55), QColor(242, 100, 117),
        QColor(240, 115, 177), QColor(46, 201, 129), QColor(124, 221, 221), QColor(106, 155, 214) };
    return table;
}

QString percentText(double percent)
{
    return QString::asprintf("%.2f%%", percent);
}

} // namespace CategoryPie
