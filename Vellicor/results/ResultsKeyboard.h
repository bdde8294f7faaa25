#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class ResultViewController;

// The keys on the results screen: where the focus goes when the screen shows,
// when its window comes back and when the screen goes (back where it was
// before, on the screen below), Tab and Shift+Tab kept among the screen's own
// controls while it shows, and Space marking the shown view's selection.
// Owned by the screen, GUI thread only; reaches the screen through its public
// face.
class ResultsKeyboard : public QObject {
public:
    explicit ResultsKeyboard(ResultViewController& screen);

    // The screen has come up: the keys follow the user onto it, starting at
    // the shown view, unless another window has them.
    void screenShown();
    // The screen's widget is shown: its window's activations are watched.
    void watchWindow();
    // The screen's widget is hidden: a focus left on it goes back to the
    // control below that had it before, else to the first control below.
    void screenHidden();
    // Tab or Shift+Tab from a control of the screen, or a control handing
    // the focus on as it is disabled or hidden; false when the focus is
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
    // The control outside the screen that had the focus when it came up.
    QPointer<QWidget> focusBefore_;
};
