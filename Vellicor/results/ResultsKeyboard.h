#pragma once

#include <QObject>

class QWidget;
class ResultViewController;

// The keys on the results screen: where the focus goes when the screen shows
// and when its window comes back, Tab and Shift+Tab kept among the screen's
// own controls, and Space marking the shown view's selection. Owned by the
// screen, GUI thread only; reaches the screen through its public face.
class ResultsKeyboard : public QObject {
public:
    explicit ResultsKeyboard(ResultViewController& screen);

    // The screen has come up: the keys follow the user onto it, starting at
    // the shown view, unless another window has them.
    void screenShown();
    // The screen's widget is shown: its window's activations are watched.
    void watchWindow();
    // Tab or Shift+Tab from a control of the screen; false when the focus is
    // outside the screen and the widget's own way applies.
    bool moveFocus(bool next);
    // Space in the shown view: the check boxes of its selected rows or items
    // (the current one when none is selected), as clicks on them.
    void checkKeyPressed();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The list, outline or grid of the shown mode.
    QWidget* shownView() const;

    ResultViewController& screen_;
};
