#pragma once

#include <QObject>
#include <QPointer>
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

// Lets the one who asked take an alert back once its question no longer
// holds: a presenter that shows it in a window closes it, and its answer then
// goes nowhere. GUI thread.
class AlertWithdrawal {
public:
    void withdraw();
    bool isWithdrawn() const { return withdrawn_; }
    // Set by the presenter that shows the alert: how to close it.
    void setCloser(std::function<void()> closer) { closer_ = std::move(closer); }

private:
    bool withdrawn_ = false;
    std::function<void()> closer_;
};

struct AlertRequest {
    QString messageText;
    QString informativeText;
    QStringList buttons;
    AlertStyle style = AlertStyle::warning;
    // The box's own title; empty gives the program's name.
    QString windowTitle = QString();
    // Set when the asker may take the alert back before it is answered.
    std::shared_ptr<AlertWithdrawal> withdrawal = nullptr;
    // A widget of the window the alert belongs to, when that is not the main
    // window: the alert is shown over that window, which is in front again
    // once it is answered.
    QPointer<QObject> over = nullptr;
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the alert and waits for an answer; the index of the button pressed.
    // An alert dismissed without a button (Escape, closing its window) answers
    // its declining button (No, Cancel), or -1 when it has none: callers act
    // only on the button that asks for the action. A notice (one button) may
    // be answered 0 before the user has read it (the window's presenter does
    // not wait for one): what follows its answer goes to presentThen.
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
