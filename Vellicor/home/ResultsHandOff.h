#pragma once

#include "scan/ScanScreen.h"

#include <QObject>

class QWidget;

// Where a finished scan's result set goes: the results screen. Until that
// screen exists the home screen shows a small page of its own.
class ResultsReceiver {
public:
    virtual ~ResultsReceiver() = default;
    virtual void showResults(const ScanResultPtr& result) = 0;
    // Lets go of the result set shown last (on the pool).
    virtual void releaseResults() { }
};

// The hand-over of a result from the home screen: to the results screen when
// one is set, else to a placeholder page over the home view, made the first
// time. It keeps the newest result for View Details. GUI thread only.
class ResultsHandOff : public QObject {
    Q_OBJECT
public:
    explicit ResultsHandOff(QWidget* view);

    // Not owned; none: the placeholder page.
    void setReceiver(ResultsReceiver* receiver) { receiver_ = receiver; }
    void show(const ScanResultPtr& result);
    // The newest result again, if there is one.
    void showLast();
    // Hides the placeholder page, if it was made.
    void hidePage();
    // A new scan starts: the newest result and the receiver's are let go of.
    void release();

signals:
    // Back on the placeholder page.
    void backTapped();

private:
    QWidget* placeholder();

    QWidget* view_;
    ResultsReceiver* receiver_ = nullptr;
    QWidget* page_ = nullptr;
    ScanResultPtr last_;
};
