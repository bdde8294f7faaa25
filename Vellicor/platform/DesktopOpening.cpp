#include "platform/DesktopOpening.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "platform/FileManager.h"

#include <QFileInfo>

namespace {

// What an alert calls the item: its name, or the whole path for the root.
QString nameOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

void say(const char* messageKey, const QString& name, const char* informativeKey, const QString& place)
{
    alertPresenter()->presentThen(
        AlertRequest { formatText(localizedText(messageKey), { printablePath(name, shownPathLength) }),
            formatText(localizedText(informativeKey), { printablePath(place, shownPathLength) }),
            { localizedText("ID_OK") } },
        {});
}

} // namespace

void openFileOrSay(const QString& path)
{
    if (openWithDefaultApplication(path))
        return;
    Log::print("Could not open", path);
    say("ID_COULD_NOT_OPEN_FILE", nameOf(path), "ID_NO_APPLICATION_OPENS_FILE", path);
}

void revealInFileManagerOrSay(const QString& path)
{
    if (path.isEmpty() || revealInFileManager(path))
        return;
    Log::print("Could not show in a file manager", path);
    say("ID_COULD_NOT_SHOW_IN_FILE_MANAGER", nameOf(path), "ID_NO_FILE_MANAGER_ANSWERED",
        QFileInfo(path).absolutePath());
}
