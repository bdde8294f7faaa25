#pragma once

#include <QObject>
#include <QPointer>

#include <QLabel>
class QWidget;

// A short message in a transient bubble that closes on any click outside it:
// the results screen tells with it that a chosen category holds no
// duplicates. The view (a heading label) is made on first use, the bubble on
// the first showPopover; later calls reuse both. GUI thread only.
class OptionPopover : public QObject {
    Q_OBJECT

public:
    explicit OptionPopover(QObject* parent = nullptr);
    ~OptionPopover() override;

    // The content view, made on first call; its heading is then set in bold
    // 11 points for Japanese, Finnish, Danish and Spanish, whose texts run
    // longer, and in the layout's font otherwise.
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }
    // The heading label; null until the view is made. The caller sets its text.
    QLabel* txtHeading() const { return txtHeading_; }

    // The bubble window; null until first shown.
    QWidget* popover() const { return popover_; }
    // Shows the bubble above relativeTo, its arrow pointing at the middle of
    // its top edge (below it when there is no room above).
    void showPopover(QWidget* relativeTo);

private:
    void viewDidLoad();

    QPointer<QWidget> view_;
    QPointer<QLabel> txtHeading_;
    QPointer<QWidget> popover_;
};
