#include "core/OwnFolderTexts.h"
#include "core/FileUtilities.h"

#include "core/Localization.h"
#include "core/TextFormat.h"

QString folderFaultText(PrivateFiles::FolderFault fault)
{
    using Fault = PrivateFiles::FolderFault;
    switch (fault) {
    case Fault::missing:
    case Fault::notMade:
        break;
    case Fault::notAFolder:
        return localizedText("ID_RUNTIME_FOLDER_NOT_A_FOLDER");
    case Fault::link:
        return localizedText("ID_RUNTIME_FOLDER_LINK");
    case Fault::otherOwner:
        return localizedText("ID_RUNTIME_FOLDER_OTHER_OWNER");
    case Fault::openToOthers:
        return localizedText("ID_RUNTIME_FOLDER_OPEN_TO_OTHERS");
    case Fault::openParent:
        return localizedText("ID_RUNTIME_FOLDER_OPEN_PARENT");
    }
    return localizedText("ID_RUNTIME_FOLDER_NOT_MADE");
}

AlertRequest folderRefusalAlert(const FolderRefusals::Refusal& refusal)
{
    using Use = PrivateFiles::FolderUse;
    const char* details = "ID_SETTINGS_FOLDER_UNSAFE_DETAILS";
    switch (refusal.use) {
    case Use::settings:
        details = "ID_SETTINGS_FOLDER_UNSAFE_DETAILS";
        break;
    case Use::cache:
        details = "ID_CACHE_FOLDER_UNSAFE_DETAILS";
        break;
    case Use::state:
        details = "ID_STATE_FOLDER_UNSAFE_DETAILS";
        break;
    }
    const QString shown = printablePath(refusal.path, shownPathLength);
    return AlertRequest { formatText(localizedText("ID_RUNTIME_FOLDER_UNSAFE"), { shown }),
        formatText(localizedText(details), { folderFaultText(refusal.fault), shown }), { localizedText("ID_OK") },
        AlertStyle::warning };
}
