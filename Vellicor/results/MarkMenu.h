#pragma once

#include "marking/MarkByCommands.h"

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

// The results screen's mark menu: automatic marking and its options, the
// mark-by commands (each item carries its tag as the action's data), the
// invert, Delete and Clear cache. The items only hand over: what they run is
// given by the screen. GUI thread.
class MarkMenu : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(MarkByCommand, std::optional<int> tag)> markBy;
        std::function<void()> autoMark;
        std::function<void()> autoMarkOptions;
        std::function<void()> markAllButOne;
        std::function<void()> deleteMarked;
        std::function<void()> clearCache;
    };

    MarkMenu(Handlers handlers, QWidget* parent);

    QMenu* menu() const { return menu_; }
    // Null when no clearCache handler was given.
    QAction* menuClearCache() const { return menuClearCache_; }
    // The item that runs command with tag; null when there is none.
    QAction* itemFor(MarkByCommand command, std::optional<int> tag) const;

    // The tag of a sender: a menu item's data when it holds a number, none
    // for anything else.
    static std::optional<int> tagOf(const QObject* sender);

private:
    QAction* addCommand(QMenu* menu, const char* titleKey, MarkByCommand command, std::optional<int> tag);

    Handlers handlers_;
    QMenu* menu_ = nullptr;
    QAction* menuClearCache_ = nullptr;
};
