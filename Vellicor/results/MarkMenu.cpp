#include "results/MarkMenu.h"

#include "core/Localization.h"

#include <QAction>
#include <QMenu>

namespace {

const char* const commandProperty = "markByCommand";

} // namespace

MarkMenu::MarkMenu(Handlers handlers, QWidget* parent)
    : QObject(parent)
    , handlers_(std::move(handlers))
{
    menu_ = new QMenu(localizedText("ID_MARK"), parent);
    menu_->setObjectName(QStringLiteral("menuMarkOptions"));
    QMenu* autoMark = menu_->addMenu(localizedText("ID_AUTO_MARK"));
    autoMark->addAction(localizedText("ID_AUTO_MARK"), this, [this] {
        if (handlers_.autoMark)
            handlers_.autoMark();
    });
    autoMark->addAction(localizedText("ID_AUTO_MARK_OPTIONS"), this, [this] {
        if (handlers_.autoMarkOptions)
            handlers_.autoMarkOptions();
    });

    QMenu* mark = menu_->addMenu(localizedText("ID_MARK"));
    QMenu* byGroup = mark->addMenu(localizedText("ID_SELECT_BY_GROUP"));
    byGroup->addAction(localizedText("ID_ALL_BUT_ONE_FILE_IN_EACH_GROUP"), this, [this] {
        if (handlers_.markAllButOne)
            handlers_.markAllButOne();
    });
    QMenu* created = mark->addMenu(localizedText("ID_SELECT_BY_CREATED_DATE_TIME"));
    addCommand(created, "ID_OLDEST_FILE_IN_EACH_GROUP", MarkByCommand::createdDate, 0);
    addCommand(created, "ID_NEWEST_FILE_IN_EACH_GROUP", MarkByCommand::createdDate, 1);
    QMenu* modified = mark->addMenu(localizedText("ID_SELECT_BY_MODIFIED_DATE_TIME"));
    addCommand(modified, "ID_OLDEST_FILE_IN_EACH_GROUP", MarkByCommand::modifiedDate, 0);
    addCommand(modified, "ID_NEWEST_FILE_IN_EACH_GROUP", MarkByCommand::modifiedDate, 1);
    QMenu* size = mark->addMenu(localizedText("ID_SELECT_BY_FILE_SIZE"));
    addCommand(size, "ID_SMALLEST_FILE_IN_EACH_GROUP", MarkByCommand::size, 0);
    addCommand(size, "ID_LARGEEST_FILE_IN_EACH_GROUP", MarkByCommand::size, 1);
    QMenu* length = mark->addMenu(localizedText("ID_SELECT_BY_FILE_PATH_NAME_LENGTH"));
    addCommand(length, "ID_SHORTEST_FILE_NAME_IN_EACH_GROUP", MarkByCommand::nameOrPath, 0);
    addCommand(length, "ID_LONGEST_FILE_NAME_IN_EACH_GROUP", MarkByCommand::nameOrPath, 1);
    addCommand(length, "ID_SHORTEST_FILE_PATH_IN_EACH_GROUP", MarkByCommand::nameOrPath, 2);
    addCommand(length, "ID_LONGEST_FILE_PATH_IN_EACH_GROUP", MarkByCommand::nameOrPath, 3);
    addCommand(menu_, "ID_INVERTED_MARKED_FILES", MarkByCommand::invert, std::nullopt);

    menu_->addSeparator();
    menu_->addAction(localizedText("ID_DELETE_SELECTED_FILE"), this, [this] {
        if (handlers_.deleteMarked)
            handlers_.deleteMarked();
    });
    // A screen that already offers the cache clearing elsewhere leaves it out.
    if (handlers_.clearCache)
        menuClearCache_ = menu_->addAction(localizedText("ID_CLEAR_CACHE"), this, [this] { handlers_.clearCache(); });
}

QAction* MarkMenu::addCommand(QMenu* menu, const char* titleKey, MarkByCommand command, std::optional<int> tag)
{
    QAction* item = menu->addAction(localizedText(titleKey));
    if (tag)
        item->setData(*tag);
    item->setProperty(commandProperty, int(command));
    connect(item, &QAction::triggered, this, [this, item, command] {
        if (handlers_.markBy)
            handlers_.markBy(command, tagOf(item));
    });
    return item;
}

QAction* MarkMenu::itemFor(MarkByCommand command, std::optional<int> tag) const
{
    const std::function<QAction*(const QMenu*)> search = [&](const QMenu* in) -> QAction* {
        for (QAction* item : in->actions()) {
            if (item->menu()) {
                if (QAction* found = search(item->menu()))
                    return found;
            } else if (item->property(commandProperty).isValid()
                && item->property(commandProperty).toInt() == int(command) && tagOf(item) == tag) {
                return item;
            }
        }
        return nullptr;
    };
    return search(menu_);
}

std::optional<int> MarkMenu::tagOf(const QObject* sender)
{
    const auto* item = qobject_cast<const QAction*>(sender);
    if (!item || !item->data().isValid())
        return std::nullopt;
    bool isNumber = false;
    const int tag = item->data().toInt(&isNumber);
    return isNumber ? std::optional<int>(tag) : std::nullopt;
}
