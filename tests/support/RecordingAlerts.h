#pragma once

#include "base/AlertPresenter.h"

#include <QStringList>

#include <vector>

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
    QStringList messages() const
    {
        QStringList texts;
        for (const AlertRequest& request : shown)
            texts.append(request.messageText);
        return texts;
    }
};
