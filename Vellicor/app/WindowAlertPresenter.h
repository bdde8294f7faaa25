#pragma once

#include "base/AlertPresenter.h"

#include <QPointer>
#include <QWidget>

// The program's presenter: each alert is a window-modal message box over the
// main window, or over the window the request names, in the screens' dark look
// with our own icons. Its buttons come in the order given, the first one the
// default and the answer to Escape or closing. The answer goes to the
// continuation from the event loop. GUI thread.
class WindowAlertPresenter : public AlertPresenter {
public:
    explicit WindowAlertPresenter(QWidget* window);

    void presentThen(const AlertRequest& request, std::function<void(int)> answer) override;
    // For callers that need the answer before they go on. A notice with one
    // button is shown like any other and answered 0 at once, before the user
    // has pressed it: nothing may follow from that answer (presentThen for
    // that); a question runs the box's own loop until it is answered.
    int present(const AlertRequest& request) override;

private:
    QPointer<QWidget> window_;
};
