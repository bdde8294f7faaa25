#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

// The identity of a pane: one text, compared exactly.
struct PaneIdentifier {
    QString rawValue;

    friend bool operator==(const PaneIdentifier&, const PaneIdentifier&) = default;
};

inline size_t qHash(const PaneIdentifier& identifier, size_t seed = 0)
{
    return qHash(identifier.rawValue, seed);
}

// One pane of the preferences window. The window reaches a pane only through
// these three answers and its widget; the pane reaches the window not at all.
class PreferencePane : public QWidget {
public:
    using QWidget::QWidget;

    virtual PaneIdentifier preferencePaneIdentifier() const = 0;
    // The tab label and, with more than one pane, the window title.
    virtual QString preferencePaneTitle() const = 0;
    virtual QIcon toolbarItemIcon() const { return QIcon(); }
};

// How the window offers its panes: one toolbar item per pane, or one
// segmented control in the middle of the toolbar.
enum class Style { toolbarItems, segmentedControl };
