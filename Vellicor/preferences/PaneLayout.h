#pragma once

#include <QString>
#include <QWidget>

#include <initializer_list>

class QGridLayout;
class QLabel;

// A pane's body of labelled setting rows. Every row's label ends in one
// column, set by the widest label; the row's controls stand to its right, one
// under the other. A row may ask for a divider after it, drawn only when
// another row follows. 20 points of margin above and below, 30 at the sides.
class PreferencesContainer : public QWidget {
public:
    explicit PreferencesContainer(int contentWidth, QWidget* parent = nullptr);

    // A row whose label is given; the container takes the widgets.
    void addSection(QWidget* label, std::initializer_list<QWidget*> content, bool bottomDivider = false);
    // A row labelled with title in the 13-point system font.
    QLabel* addSection(const QString& title, std::initializer_list<QWidget*> content, bool bottomDivider = false);

private:
    QGridLayout* grid_;
    int rows_ = 0;
    bool dividerPending_ = false;
};

// Gives label the look of an explanation under a setting: 11 points, in the
// secondary text colour, wrapped.
void applyPreferenceDescriptionStyle(QLabel* label);

// Two or more controls side by side, as one entry of a row's content.
QWidget* preferencesLine(std::initializer_list<QWidget*> controls);
