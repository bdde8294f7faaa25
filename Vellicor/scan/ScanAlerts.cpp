#include "scan/ScanAlerts.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

struct OpenAlert {
    std::shared_ptr<AlertWithdrawal> withdrawal = std::make_shared<AlertWithdrawal>();
    std::function<void()> closed;
};

std::vector<std::shared_ptr<OpenAlert>>& openAlerts()
{
    static std::vector<std::shared_ptr<OpenAlert>> alerts;
    return alerts;
}

} // namespace

void ScanAlerts::present(AlertRequest request, std::function<void(int)> answer, std::function<void()> closed)
{
    auto alert = std::make_shared<OpenAlert>();
    alert->closed = std::move(closed);
    request.withdrawal = alert->withdrawal;
    openAlerts().push_back(alert);
    alertPresenter()->presentThen(request, [alert, answer = std::move(answer)](int button) {
        // One taken back was closed by withdrawAll, which told its end.
        if (alert->withdrawal->isWithdrawn())
            return;
        std::erase(openAlerts(), alert);
        if (answer)
            answer(button);
        if (alert->closed)
            alert->closed();
    });
}

void ScanAlerts::withdrawAll()
{
    for (const std::shared_ptr<OpenAlert>& alert : std::exchange(openAlerts(), {})) {
        alert->withdrawal->withdraw();
        if (alert->closed)
            alert->closed();
    }
}
