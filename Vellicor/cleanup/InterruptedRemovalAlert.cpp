#include "cleanup/InterruptedRemovalAlert.h"

#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "platform/RestoreCopies.h"
#include "platform/SetAsideJournal.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

std::optional<AlertRequest> interruptedRemovalAlert(
    const SetAsideRecovery& recovery, const std::vector<LeftRestoreCopy>& copiesAway)
{
    if (recovery.isEmpty() && copiesAway.empty())
        return std::nullopt;
    // A run ended in a large clean-up may leave thousands: the files left
    // where they are and the copies out of reach (the user may have to act on
    // those) are named first, as many as the alert has lines for, and the
    // rest counted; the log names each.
    constexpr size_t named = 10;
    const size_t leftShown = std::min(recovery.left.size(), named);
    const size_t copiesShown = std::min(copiesAway.size(), named - leftShown);
    const size_t putBackShown = std::min(recovery.putBack.size(), named - leftShown - copiesShown);
    // Each on one line, a path shortened in its middle: a name cannot forge
    // a line of its own, turn the words around it, or make the alert taller
    // than the screen.
    const auto shown = [](const QString& text) { return printablePath(text, shownPathLength); };
    QStringList lines;
    for (size_t i = 0; i < putBackShown; ++i)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_PUT_BACK"), { shown(recovery.putBack[i]) }));
    for (size_t i = 0; i < leftShown; ++i) {
        const SetAsideRecovery::Left& left = recovery.left[i];
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_LEFT"),
            { shown(left.path), printablePath(left.reason), shown(left.keptAt) }));
    }
    for (size_t i = 0; i < copiesShown; ++i)
        lines.append(formatText(localizedText("ID_UNDO_INTERRUPTED_COPY_LEFT"),
            { shown(copiesAway[i].path), printablePath(copiesAway[i].reason) }));
    const size_t all = recovery.putBack.size() + recovery.left.size() + copiesAway.size();
    if (const size_t more = all - size_t(lines.size()); more > 0)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_MORE"), { QLocale().toString(qulonglong(more)) }));
    return AlertRequest { localizedText(recovery.isEmpty() ? "ID_UNDO_INTERRUPTED" : "ID_REMOVAL_INTERRUPTED"),
        lines.join(QLatin1Char('\n')), { localizedText("ID_OK") }, AlertStyle::informational };
}
