#include "cleanup/InterruptedRemovalAlert.h"

#include "core/Localization.h"
#include "core/TextFormat.h"
#include "platform/RestoreCopies.h"
#include "platform/SetAsideJournal.h"

#include <QStringList>

std::optional<AlertRequest> interruptedRemovalAlert(
    const SetAsideRecovery& recovery, const std::vector<LeftRestoreCopy>& copiesAway)
{
    if (recovery.isEmpty() && copiesAway.empty())
        return std::nullopt;
    QStringList lines;
    for (const QString& path : recovery.putBack)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_PUT_BACK"), { path }));
    for (const SetAsideRecovery::Left& left : recovery.left)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_LEFT"), { left.path, left.reason, left.keptAt }));
    for (const LeftRestoreCopy& copy : copiesAway)
        lines.append(formatText(localizedText("ID_UNDO_INTERRUPTED_COPY_LEFT"), { copy.path, copy.reason }));
    return AlertRequest { localizedText(recovery.isEmpty() ? "ID_UNDO_INTERRUPTED" : "ID_REMOVAL_INTERRUPTED"),
        lines.join(QLatin1Char('\n')), { localizedText("ID_OK") }, AlertStyle::informational };
}
