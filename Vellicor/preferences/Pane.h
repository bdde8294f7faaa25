#pragma once

#include "preferences/PreferencePane.h"

#include <functional>
#include <memory>

// A pane written as one content widget rather than as a class of its own: its
// identifier, title and toolbar icon beside the content, which is made once,
// when the pane is. The preferences window takes it as any other pane once
// asPreferencePane has wrapped it. GUI thread.
class Pane {
public:
    Pane(PaneIdentifier identifier, QString title, QIcon toolbarIcon, const std::function<QWidget*()>& makeContent);
    Pane(Pane&&) noexcept;
    Pane& operator=(Pane&&) noexcept;
    ~Pane();

    const PaneIdentifier& identifier() const { return identifier_; }
    const QString& title() const { return title_; }
    const QIcon& toolbarIcon() const { return toolbarIcon_; }
    // Owned until the pane is wrapped; none afterwards.
    QWidget* content() const { return content_.get(); }

    // The pane for the preferences window, hosting the content; owned by the
    // caller until it hands it to the window, which then owns it.
    std::unique_ptr<PreferencePane> asPreferencePane() &&;

private:
    friend class PaneHostingController;

    PaneIdentifier identifier_;
    QString title_;
    QIcon toolbarIcon_;
    std::unique_ptr<QWidget> content_;
};

// A preferences pane that shows one content widget, filling it, under the
// identity it was given. Its size is the content's.
class PaneHostingController : public PreferencePane {
public:
    // Takes the content as a child.
    PaneHostingController(
        PaneIdentifier identifier, QString title, QIcon toolbarIcon, QWidget* content, QWidget* parent = nullptr);
    explicit PaneHostingController(Pane pane, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return identifier_; }
    QString preferencePaneTitle() const override { return title_; }
    QIcon toolbarItemIcon() const override { return toolbarIcon_; }
    QWidget* content() const { return content_; }

private:
    const PaneIdentifier identifier_;
    const QString title_;
    const QIcon toolbarIcon_;
    QWidget* const content_;
};
