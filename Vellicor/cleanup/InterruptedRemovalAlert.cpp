#include "cleanup/InterruptedRemovalAlert.h"

#include "core/Localization.h"
#include "core/TextFormat.h"
#include "platform/SetAsideJournal.h"

#include <QStringList>

std::optional<AlertRequest> interruptedRemovalAlert(const SetAsideRecovery& recovery)
{
    if (recovery.isEmpty())
        return std::nullopt;
    QStringList lines;
    for (const QString& path : recovery.putBack)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_PUT_BACK"), { path }));
    for (const SetAsideRecovery::Left& left : recovery.left)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_LEFT"), { left.path, left.reason, left.keptAt }));
    return AlertRequest { localizedText("ID_REMOVAL_INTERRUPTED"), lines.join(QLatin1Char('\n')),
        { localizedText("ID_OK") }, AlertStyle::informational };
}
