#pragma once

#include "marking/CategoryShares.h"

#include <QColor>
#include <QString>

#include <array>

// The results screen's pie and its legend: the shares of the six file
// categories (counted in CategoryShares), their colours and their texts.
namespace CategoryPie {

using namespace CategoryShares;

// The category colours, in category order (documents first).
const std::array<QColor, slotCount>& colors();

// 37.5 as "37.50%".
QString percentText(double percent);

} // namespace CategoryPie
