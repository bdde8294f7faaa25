#include "base/AlertPresenter.h"

#include "base/Log.h"
#include "base/ServiceSlot.h"

#include <cstdio>
#include <utility>

namespace {

class StandardErrorAlertPresenter : public AlertPresenter {
public:
    int present(const AlertRequest& request) override
    {
        // Each part is one line, escaped as the log escapes its items: a name
        // in an alert reaches the terminal as text, never as a sequence.
        QString text = LogDetail::escaped(request.messageText);
        if (!request.informativeText.isEmpty())
            text += QLatin1Char('\n') + LogDetail::escaped(request.informativeText);
        if (!request.buttons.isEmpty())
            text += QStringLiteral("\n[") + LogDetail::escaped(request.buttons.first()) + QLatin1Char(']');
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return 0;
    }
};

ServiceSlot<AlertPresenter>& presenterSlot()
{
    static ServiceSlot<AlertPresenter> slot(std::make_shared<StandardErrorAlertPresenter>());
    return slot;
}

} // namespace

void AlertWithdrawal::withdraw()
{
    if (std::exchange(withdrawn_, true))
        return;
    if (std::function<void()> close = std::exchange(closer_, nullptr))
        close();
}

std::shared_ptr<AlertPresenter> alertPresenter()
{
    return presenterSlot().get();
}

void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter)
{
    presenterSlot().set(std::move(presenter));
}
