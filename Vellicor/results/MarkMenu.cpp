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
    autoMarkMenu_ = new QMenu(localizedText("ID_AUTO_MARK"), parent);
    autoMarkMenu_->menuAction()->setObjectName(QStringLiteral("menuAutoMark"));
    addItem(autoMarkMenu_, "submenuAutoMark", "ID_AUTO_MARK", &Handlers::autoMark);
    addItem(autoMarkMenu_, "submenuAutoMarkOpt", "ID_AUTO_MARK_OPTIONS", &Handlers::autoMarkOptions);

    markMenu_ = new QMenu(localizedText("ID_MARK"), parent);
    markMenu_->menuAction()->setObjectName(QStringLiteral("menuMark"));
    QMenu* byGroup = addSubMenu(markMenu_, "submenuMarkbyGroup", "ID_SELECT_BY_GROUP");
    addItem(byGroup, "submneuAllButOneInEach", "ID_ALL_BUT_ONE_FILE_IN_EACH_GROUP", &Handlers::autoMark);
    QMenu* created = addSubMenu(markMenu_, "submenuMarkbyCreated", "ID_SELECT_BY_CREATED_DATE_TIME");
    addCommand(created, "submenuOldestCreated", "ID_OLDEST_FILE_IN_EACH_GROUP", MarkByCommand::createdDate, 0);
    addCommand(created, "submenuNewestCreated", "ID_NEWEST_FILE_IN_EACH_GROUP", MarkByCommand::createdDate, 1);
    QMenu* modified = addSubMenu(markMenu_, "submenuMarkbyModified", "ID_SELECT_BY_MODIFIED_DATE_TIME");
    addCommand(modified, "submenuOldestModified", "ID_OLDEST_FILE_IN_EACH_GROUP", MarkByCommand::modifiedDate, 0);
    addCommand(modified, "submenuNewestModified", "ID_NEWEST_FILE_IN_EACH_GROUP", MarkByCommand::modifiedDate, 1);
    QMenu* size = addSubMenu(markMenu_, "submenuMarkbyFileSize", "ID_SELECT_BY_FILE_SIZE");
    addCommand(size, "submenuSmallestFileSize", "ID_SMALLEST_FILE_IN_EACH_GROUP", MarkByCommand::size, 0);
    addCommand(size, "submenuLargestFileSize", "ID_LARGEEST_FILE_IN_EACH_GROUP", MarkByCommand::size, 1);
    QMenu* length = addSubMenu(markMenu_, "submenuMarkbyLength", "ID_SELECT_BY_FILE_PATH_NAME_LENGTH");
    addCommand(length, "submenuShortestFileName", "ID_SHORTEST_FILE_NAME_IN_EACH_GROUP", MarkByCommand::nameOrPath, 0);
    addCommand(length, "submenuLongestFileName", "ID_LONGEST_FILE_NAME_IN_EACH_GROUP", MarkByCommand::nameOrPath, 1);
    addCommand(length, "submenuShortestFilePath", "ID_SHORTEST_FILE_PATH_IN_EACH_GROUP", MarkByCommand::nameOrPath, 2);
    addCommand(length, "submenuLongestFilePath", "ID_LONGEST_FILE_PATH_IN_EACH_GROUP", MarkByCommand::nameOrPath, 3);

    markMenu_->addSeparator();
    addItem(markMenu_, "menuDeleteSelectedFile", "ID_DELETE_SELECTED_FILE", &Handlers::deleteMarked);
    addCommand(markMenu_, "menuInvertedMarkedFiles", "ID_INVERTED_MARKED_FILES", MarkByCommand::invert, std::nullopt);
    QAction* filter = addItem(markMenu_, "menuFilterGroupWithMarkedFile", "ID_SHOW_ONLY_GROUPS_WITH_MARKED_FILES",
        &Handlers::filterMarkedGroups);
    filter->setCheckable(true);
    connect(markMenu_, &QMenu::aboutToShow, this, [this, filter] {
        filter->setChecked(handlers_.isFilteringMarkedGroups && handlers_.isFilteringMarkedGroups());
    });
    menuClearCache_ = addItem(markMenu_, "menuClearCache", "ID_CLEAR_CACHE", &Handlers::clearCache);
}

QMenu* MarkMenu::addSubMenu(QMenu* menu, const char* outlet, const char* titleKey)
{
    QMenu* sub = menu->addMenu(localizedText(titleKey));
    sub->menuAction()->setObjectName(QString::fromLatin1(outlet));
    return sub;
}

QAction* MarkMenu::addItem(
    QMenu* menu, const char* outlet, const char* titleKey, std::function<void()> Handlers::*handler)
{
    QAction* item = menu->addAction(localizedText(titleKey), this, [this, handler] {
        if (handlers_.*handler)
            (handlers_.*handler)();
    });
    item->setObjectName(QString::fromLatin1(outlet));
    return item;
}

QAction* MarkMenu::addCommand(
    QMenu* menu, const char* outlet, const char* titleKey, MarkByCommand command, std::optional<int> tag)
{
    QAction* item = menu->addAction(localizedText(titleKey));
    item->setObjectName(QString::fromLatin1(outlet));
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
    return search(markMenu_);
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
