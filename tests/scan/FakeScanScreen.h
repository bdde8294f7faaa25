#pragma once

#include "base/AlertPresenter.h"
#include "scan/ScanScreen.h"
#include "support/RecordingAlerts.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

// Records what the engine shows and, installed as the alert presenter,
// answers its alerts from a queue (the first button when the queue is empty). Models the Scan Now button, which
// flips its own state after every click whose action has returned.
class FakeScanScreen : public ScanScreen, public AlertPresenter {
public:
    std::vector<AlertRequest> alerts;
    std::deque<int> answers;
    ScanningLabels labels;
    int labelUpdates = 0;
    QString scannedPath;
    std::vector<std::pair<bool, bool>> scanningStates;
    int scanNowState = 1;
    bool scanNowEnabled = true;
    bool abortEnabled = false;
    bool resultEnabled = true;
    int sheetsShown = 0;
    int sheetsHidden = 0;
    QStringList panesOpened;
    int homeViewsShown = 0;
    std::vector<ScanResultPtr> results;
    QStringList lastScanBox;

    QStringList alertMessages() const { return messagesOf(alerts); }

    // What the button does after the action returns.
    void flipScanNowButton() { scanNowState = scanNowState == 0 ? 1 : 0; }

    // While set, continuation-form alerts wait in heldAnswers for the test.
    bool holdAnswers = false;
    std::vector<std::function<void(int)>> heldAnswers;

    void presentThen(const AlertRequest& alert, std::function<void(int)> answer) override
    {
        if (!holdAnswers)
            return AlertPresenter::presentThen(alert, std::move(answer));
        alerts.push_back(alert);
        heldAnswers.push_back(std::move(answer));
    }
    int present(const AlertRequest& alert) override
    {
        alerts.push_back(alert);
        if (answers.empty())
            return 0;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showScanningLabels(const ScanningLabels& value) override
    {
        labels = value;
        ++labelUpdates;
    }
    void showScannedPath(const QString& text, const QString&) override { scannedPath = text; }
    void showScanningState(bool isScanning, bool hide) override { scanningStates.emplace_back(isScanning, hide); }
    void setScanNowButtonState(int state, bool enabled) override
    {
        scanNowState = state;
        scanNowEnabled = enabled;
    }
    void setAbortButtonEnabled(bool enabled) override { abortEnabled = enabled; }
    void setResultButtonEnabled(bool enabled) override { resultEnabled = enabled; }
    void showScanningSheet() override { ++sheetsShown; }
    void hideScanningSheet() override { ++sheetsHidden; }
    void showLastScanRecord(const QString& count, const QString& size, const std::optional<QString>& time) override
    {
        lastScanBox = { count, size, time.value_or(QStringLiteral("<unchanged>")) };
    }
    void showPreferencesPane(const QString& pane) override { panesOpened.append(pane); }
    void showHomeView() override { ++homeViewsShown; }
    void showResults(const ScanResultPtr& result) override { results.push_back(result); }
};
