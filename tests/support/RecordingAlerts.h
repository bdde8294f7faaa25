#pragma once

#include "base/AlertPresenter.h"

#include <QStringList>

#include <vector>

// The message texts of alerts, in order.
inline QStringList messagesOf(const std::vector<AlertRequest>& alerts)
{
    QStringList texts;
    for (const AlertRequest& alert : alerts)
        texts.append(alert.messageText);
    return texts;
}

// Stands in for the alert windows: keeps every alert and answers each at once
// with answer.
struct RecordingAlerts : AlertPresenter {
    std::vector<AlertRequest> shown;
    int answer = 0;

    int present(const AlertRequest& request) override
    {
        shown.push_back(request);
        return answer;
    }
    QStringList messages() const { return messagesOf(shown); }
};
