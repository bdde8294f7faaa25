#pragma once

#include <span>

class QWidget;

// The texts of the results screen's own controls: which control shows which
// key of the language table, and where (its title or text, or its tool tip).
// The sheets set their own texts when they are built.
enum class TextSlot { title, toolTip };

struct ControlText {
    const char* control;
    const char* key;
    TextSlot slot = TextSlot::title;
};

// In the order they are set.
std::span<const ControlText> resultViewTexts();

// Gives every row's text to the widget of that object name under root (a
// button's or a label's text, or the tool tip). A row whose control is
// missing is skipped.
void applyControlTexts(QWidget& root, std::span<const ControlText> rows);
