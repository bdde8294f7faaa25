#pragma once

#include <QWidget>

class QFrame;
class QLabel;

// viewSucccess: stands in for the result list when a clean-up has left no
// group at all. GUI thread.
class SuccessView : public QWidget {
public:
    explicit SuccessView(QWidget* parent = nullptr);

    QFrame* boxCongrats = nullptr;
    QLabel* lblCongratulations = nullptr;
    QLabel* lblAllDupsDeleted = nullptr;
    QLabel* lblAllDupsDeletedHint = nullptr;

protected:
    // Keeps the box 30 points below the view's vertical centre.
    void resizeEvent(QResizeEvent* event) override;
};

// viewNoDuplicateFound: stands in for the result list when the groups are
// gone another way (the context menu's remove-from-list). GUI thread.
class NoDuplicatesView : public QWidget {
public:
    explicit NoDuplicatesView(QWidget* parent = nullptr);

    QLabel* lblNoDupsFound = nullptr;
    QLabel* lblNoDupsFoundHint = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
