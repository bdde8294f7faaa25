#include "core/OwnFolderTexts.h"

#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QStringList>

namespace {

using Use = PrivateFiles::FolderUse;
using Fault = PrivateFiles::FolderFault;

constexpr Use usesInOrder[] = { Use::settings, Use::cache, Use::state, Use::runtime };

// A name on one line, as the log writes it.
QString shown(const QString& path)
{
    return printablePath(path, shownPathLength);
}

QString joinedNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names.append(shown(path));
    return names.join(QStringLiteral(", "));
}

// The keys of a text as the alert for one folder alone says it, speaking of
// "it", and as the alert for several does.
struct Keys {
    const char* alone;
    const char* ofSeveral;
};

// What is lost without the folder.
Keys lossOf(Use use)
{
    switch (use) {
    case Use::settings:
        break;
    case Use::cache:
        return { "ID_CACHE_FOLDER_UNSAFE_DETAILS", "ID_CACHE_FOLDER_UNUSED_MEANS" };
    case Use::state:
        return { "ID_STATE_FOLDER_UNSAFE_DETAILS", "ID_STATE_FOLDER_UNUSED_MEANS" };
    case Use::runtime:
        return { "ID_RUNTIME_FOLDER_UNSAFE_DETAILS", "ID_RUNTIME_FOLDER_UNUSED_MEANS" };
    }
    return { "ID_SETTINGS_FOLDER_UNSAFE_DETAILS", "ID_SETTINGS_FOLDER_UNUSED_MEANS" };
}

// Why the folder is refused; in an alert for several, a line that names it.
Keys faultTexts(Fault fault)
{
    switch (fault) {
    case Fault::missing:
    case Fault::notMade:
        break;
    case Fault::notAFolder:
        return { "ID_RUNTIME_FOLDER_NOT_A_FOLDER", "ID_REFUSED_FOLDER_NOT_A_FOLDER" };
    case Fault::link:
        return { "ID_RUNTIME_FOLDER_LINK", "ID_REFUSED_FOLDER_LINK" };
    case Fault::otherOwner:
        return { "ID_RUNTIME_FOLDER_OTHER_OWNER", "ID_REFUSED_FOLDER_OTHER_OWNER" };
    case Fault::openToOthers:
        return { "ID_RUNTIME_FOLDER_OPEN_TO_OTHERS", "ID_REFUSED_FOLDER_OPEN_TO_OTHERS" };
    case Fault::openParent:
        return { "ID_RUNTIME_FOLDER_OPEN_PARENT", "ID_REFUSED_FOLDER_OPEN_PARENT" };
    }
    return { "ID_RUNTIME_FOLDER_NOT_MADE", "ID_REFUSED_FOLDER_NOT_MADE" };
}

// The folders to mend: for a folder refused for its place, those above it
// another user can change; for any other, the folder itself.
struct Mends {
    QStringList above;
    QStringList themselves;
};

Mends mendsOf(const std::vector<FolderRefusals::Refusal>& refusals)
{
    Mends mends;
    for (const FolderRefusals::Refusal& refusal : refusals) {
        if (refusal.fault == Fault::openParent && !refusal.changeable.isEmpty()) {
            for (const QString& folder : refusal.changeable) {
                if (!mends.above.contains(folder))
                    mends.above.append(folder);
            }
        } else {
            mends.themselves.append(refusal.path);
        }
    }
    return mends;
}

} // namespace

QString folderFaultText(PrivateFiles::FolderFault fault)
{
    return localizedText(faultTexts(fault).alone);
}

AlertRequest folderRefusalAlert(const FolderRefusals::Refusal& refusal)
{
    const Mends mends = mendsOf({ refusal });
    const QString mend = mends.above.isEmpty()
        ? formatText(localizedText("ID_OWN_FOLDER_MEND"), { shown(refusal.path) })
        : mends.above.size() == 1
        ? formatText(localizedText("ID_OWN_FOLDER_MEND_ABOVE"), { shown(mends.above.first()) })
        : formatText(localizedText("ID_OWN_FOLDER_MEND_ABOVE_MANY"), { joinedNames(mends.above) });
    return AlertRequest { formatText(localizedText("ID_RUNTIME_FOLDER_UNSAFE"), { shown(refusal.path) }),
        formatText(localizedText(lossOf(refusal.use).alone), { folderFaultText(refusal.fault) }) + QLatin1Char(' ')
            + mend,
        { localizedText("ID_OK") }, AlertStyle::warning };
}

AlertRequest folderRefusalsAlert(const std::vector<FolderRefusals::Refusal>& refusals)
{
    if (refusals.size() == 1)
        return folderRefusalAlert(refusals.front());
    // By what each is for, in the order of what is lost without them.
    QStringList lines;
    QStringList losses;
    for (const Use use : usesInOrder) {
        bool met = false;
        for (const FolderRefusals::Refusal& refusal : refusals) {
            if (refusal.use == use) {
                lines.append(formatText(localizedText(faultTexts(refusal.fault).ofSeveral), { shown(refusal.path) }));
                met = true;
            }
        }
        if (met)
            losses.append(localizedText(lossOf(use).ofSeveral));
    }
    const Mends mends = mendsOf(refusals);
    QStringList mend;
    if (mends.above.size() == 1)
        mend.append(formatText(localizedText("ID_OWN_FOLDERS_MEND_ABOVE"), { shown(mends.above.first()) }));
    else if (!mends.above.isEmpty())
        mend.append(formatText(localizedText("ID_OWN_FOLDERS_MEND_ABOVE_MANY"), { joinedNames(mends.above) }));
    if (!mends.themselves.isEmpty())
        mend.append(formatText(localizedText("ID_OWN_FOLDERS_MEND"), { joinedNames(mends.themselves) }));
    mend.append(localizedText("ID_OWN_FOLDERS_START_AGAIN"));
    return AlertRequest { formatText(localizedText("ID_OWN_FOLDERS_UNSAFE"), { qsizetype(refusals.size()) }),
        lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + losses.join(QLatin1Char(' ')) + QStringLiteral("\n\n")
            + mend.join(QLatin1Char(' ')),
        { localizedText("ID_OK") }, AlertStyle::warning };
}
