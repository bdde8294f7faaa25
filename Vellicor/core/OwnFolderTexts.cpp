#include "core/OwnFolderTexts.h"

#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

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
    case Fault::noAccess:
        return { "ID_RUNTIME_FOLDER_NO_ACCESS", "ID_REFUSED_FOLDER_NO_ACCESS" };
    }
    return { "ID_RUNTIME_FOLDER_NOT_MADE", "ID_REFUSED_FOLDER_NOT_MADE" };
}

// Whether the user owns path: what they may mend themselves.
bool isYours(const QString& path)
{
    struct stat seen { };
    return ::lstat(QFile::encodeName(path).constData(), &seen) == 0 && seen.st_uid == ::geteuid();
}

// The variable that moves the folders of a use elsewhere.
QString variableOf(Use use)
{
    switch (use) {
    case Use::settings:
        break;
    case Use::cache:
        return QStringLiteral("XDG_CACHE_HOME");
    case Use::state:
        return QStringLiteral("XDG_STATE_HOME");
    case Use::runtime:
        return QStringLiteral("XDG_RUNTIME_DIR");
    }
    return QStringLiteral("XDG_CONFIG_HOME");
}

void addOnce(QStringList& list, const QString& item)
{
    if (!list.contains(item))
        list.append(item);
}

// The folders to mend, by what the user can do about each: for a folder
// refused for its place, those above it another user can change; for one
// they may not open, the first folder of its way they may not; for any other,
// the folder itself. What the user does not own only its owner or the
// administrator can mend; the variables name the other places the user can
// choose for the folders refused so.
struct Mends {
    QStringList above;
    QStringList aboveTheirs;
    QStringList themselves;
    QStringList theirs;
    QStringList permission;
    QStringList closedTheirs;
    QStringList variables;

    bool onlyTheUsersOwn() const
    {
        return aboveTheirs.isEmpty() && theirs.isEmpty() && permission.isEmpty() && closedTheirs.isEmpty();
    }
};

Mends mendsOf(const std::vector<FolderRefusals::Refusal>& refusals)
{
    Mends mends;
    std::vector<Use> elsewhere;
    for (const FolderRefusals::Refusal& refusal : refusals) {
        bool anotherOwner = false;
        if (refusal.fault == Fault::openParent && !refusal.changeable.isEmpty()) {
            for (const QString& folder : refusal.changeable) {
                const bool yours = isYours(folder);
                addOnce(yours ? mends.above : mends.aboveTheirs, folder);
                anotherOwner = anotherOwner || !yours;
            }
        } else if (refusal.fault == Fault::otherOwner) {
            mends.theirs.append(refusal.path);
            anotherOwner = true;
        } else if (refusal.fault == Fault::noAccess) {
            const QString closed = refusal.unopenable.isEmpty() ? refusal.path : refusal.unopenable;
            anotherOwner = !isYours(closed);
            addOnce(anotherOwner ? mends.closedTheirs : mends.permission, closed);
        } else {
            mends.themselves.append(refusal.path);
        }
        if (anotherOwner)
            elsewhere.push_back(refusal.use);
    }
    for (const Use use : usesInOrder) {
        if (std::find(elsewhere.begin(), elsewhere.end(), use) != elsewhere.end())
            mends.variables.append(variableOf(use));
    }
    return mends;
}

// One sentence for the folders of list: the first key for one, the second for
// several.
void addMend(QStringList& sentences, const QStringList& list, const char* one, const char* several)
{
    if (list.size() == 1)
        sentences.append(formatText(localizedText(one), { shown(list.first()) }));
    else if (!list.isEmpty())
        sentences.append(formatText(localizedText(several), { joinedNames(list) }));
}

// What to mend, each kind in a sentence of its own, ended by starting again.
QString mendSentences(const Mends& mends)
{
    QStringList sentences;
    addMend(sentences, mends.above, "ID_OWN_FOLDERS_MEND_ABOVE", "ID_OWN_FOLDERS_MEND_ABOVE_MANY");
    addMend(sentences, mends.themselves, "ID_OWN_FOLDERS_MEND", "ID_OWN_FOLDERS_MEND");
    addMend(sentences, mends.permission, "ID_OWN_FOLDERS_MEND_PERMISSION", "ID_OWN_FOLDERS_MEND_PERMISSION");
    addMend(sentences, mends.aboveTheirs, "ID_OWN_FOLDERS_MEND_ABOVE_THEIRS", "ID_OWN_FOLDERS_MEND_ABOVE_THEIRS_MANY");
    addMend(sentences, mends.theirs, "ID_OWN_FOLDERS_MEND_OTHER_OWNER", "ID_OWN_FOLDERS_MEND_OTHER_OWNER_MANY");
    addMend(sentences, mends.closedTheirs, "ID_OWN_FOLDERS_MEND_NO_ACCESS_THEIRS",
        "ID_OWN_FOLDERS_MEND_NO_ACCESS_THEIRS_MANY");
    if (mends.variables.size() == 1)
        sentences.append(formatText(localizedText("ID_OWN_FOLDERS_ELSEWHERE"), { mends.variables.first() }));
    else if (!mends.variables.isEmpty())
        sentences.append(
            formatText(localizedText("ID_OWN_FOLDERS_ELSEWHERE_MANY"), { mends.variables.join(QStringLiteral(", ")) }));
    sentences.append(localizedText("ID_OWN_FOLDERS_START_AGAIN"));
    return sentences.join(QLatin1Char(' '));
}

} // namespace

QString folderFaultText(PrivateFiles::FolderFault fault)
{
    return localizedText(faultTexts(fault).alone);
}

AlertRequest folderRefusalAlert(const FolderRefusals::Refusal& refusal)
{
    const Mends mends = mendsOf({ refusal });
    const QString mend = !mends.onlyTheUsersOwn() ? mendSentences(mends)
        : mends.above.isEmpty() ? formatText(localizedText("ID_OWN_FOLDER_MEND"), { shown(refusal.path) })
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
    const QString mend = mendSentences(mendsOf(refusals));
    return AlertRequest { formatText(localizedText("ID_OWN_FOLDERS_UNSAFE"), { qsizetype(refusals.size()) }),
        lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + losses.join(QLatin1Char(' ')) + QStringLiteral("\n\n")
            + mend,
        { localizedText("ID_OK") }, AlertStyle::warning };
}
