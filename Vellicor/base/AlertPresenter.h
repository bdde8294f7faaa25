#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Every modal alert goes through one presenter, so that tests answer alerts
// without a display or a nested event loop. Display-free: the window-based
// presenter is installed by the interface layer.

// How an alert presents itself: a warning (the usual), plain information, or
// a critical question.
enum class AlertStyle { warning, informational, critical };

struct AlertRequest {
    QString messageText;
    QString informativeText;
    QStringList buttons;
    AlertStyle style = AlertStyle::warning;
    // The box's own title; empty gives the program's name.
    QString windowTitle = QString();
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the alert and waits for an answer; the index of the button pressed.
    // An alert dismissed without a button (Escape, closing its window) answers
    // its declining button (No, Cancel), or -1 when it has none: callers act
    // only on the button that asks for the action.
    virtual int present(const AlertRequest& request) = 0;
    // Shows the alert and hands the index of the button pressed to answer,
    // which may run before this returns (the standard presenter, fakes) or
    // later from the event loop (a window-modal alert). answer may be empty.
    virtual void presentThen(const AlertRequest& request, std::function<void(int)> answer)
    {
        const int button = present(request);
        if (answer)
            answer(button);
    }
};

// The presenter in use. Until the interface installs its own, alerts are
// written to standard error and answered with the first button.
std::shared_ptr<AlertPresenter> alertPresenter();

// Installs a presenter for the whole process; an empty pointer brings back the
// standard-error presenter.
void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter);
