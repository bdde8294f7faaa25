#pragma once

#include "marking/MarkByCommands.h"

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

// The results screen's two marking menus, each opened from a toolbar pop-up:
// automatic marking with its options (menuAutoMark), and the mark-by
// commands with Delete, Invert, the marked-groups filter and Clear cache
// (menuMark). The leaves of one
// mark-by sub-menu share one command and differ by the tag the item carries
// as its data. Every item bears its outlet's name as object name. The items
// only hand over: what they run is given by the screen. GUI thread.
class MarkMenu : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(MarkByCommand, std::optional<int> tag)> markBy;
        // Automatic marking by the selection rules; also the group sub-menu's
        // "all but one" item.
        std::function<void()> autoMark;
        std::function<void()> autoMarkOptions;
        std::function<void()> deleteMarked;
        std::function<void()> clearCache;
        std::function<void()> filterMarkedGroups;
        // Whether the shown groups are narrowed to those with marks; the
        // filter item shows it checked.
        std::function<bool()> isFilteringMarkedGroups;
    };

    MarkMenu(Handlers handlers, QWidget* parent);

    QMenu* autoMarkMenu() const { return autoMarkMenu_; }
    QMenu* markMenu() const { return markMenu_; }
    QAction* menuClearCache() const { return menuClearCache_; }
    // The item that runs command with tag; null when there is none.
    QAction* itemFor(MarkByCommand command, std::optional<int> tag) const;

    // The tag of a sender: a menu item's data when it holds a number, none
    // for anything else.
    static std::optional<int> tagOf(const QObject* sender);

private:
    QAction* addCommand(
        QMenu* menu, const char* outlet, const char* titleKey, MarkByCommand command, std::optional<int> tag);
    QAction* addItem(QMenu* menu, const char* outlet, const char* titleKey, std::function<void()> Handlers::*handler);
    QMenu* addSubMenu(QMenu* menu, const char* outlet, const char* titleKey);

    Handlers handlers_;
    QMenu* autoMarkMenu_ = nullptr;
    QMenu* markMenu_ = nullptr;
    QAction* menuClearCache_ = nullptr;
};
