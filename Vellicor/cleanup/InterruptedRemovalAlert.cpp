#include "cleanup/InterruptedRemovalAlert.h"

#include "core/Localization.h"
#include "core/TextFormat.h"
#include "platform/SetAsideJournal.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

std::optional<AlertRequest> interruptedRemovalAlert(const SetAsideRecovery& recovery)
{
    if (recovery.isEmpty())
        return std::nullopt;
    // A run ended in a large clean-up may leave thousands: the files left
    // where they are (the user has to act on those) are named first, as many
    // as the alert has lines for, and the rest counted; the log names each.
    constexpr size_t named = 10;
    const size_t leftShown = std::min(recovery.left.size(), named);
    const size_t putBackShown = std::min(recovery.putBack.size(), named - leftShown);
    QStringList lines;
    for (size_t i = 0; i < putBackShown; ++i)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_PUT_BACK"), { recovery.putBack[i] }));
    for (size_t i = 0; i < leftShown; ++i) {
        const SetAsideRecovery::Left& left = recovery.left[i];
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_LEFT"), { left.path, left.reason, left.keptAt }));
    }
    if (const size_t more = recovery.putBack.size() + recovery.left.size() - lines.size(); more > 0)
        lines.append(formatText(localizedText("ID_REMOVAL_INTERRUPTED_MORE"), { QLocale().toString(qulonglong(more)) }));
    return AlertRequest { localizedText("ID_REMOVAL_INTERRUPTED"), lines.join(QLatin1Char('\n')),
        { localizedText("ID_OK") }, AlertStyle::informational };
}
