#include "core/AppNotifier.h"

AppNotifier& AppNotifier::instance()
{
    // Made on first use and kept for the run; the signals' receivers are
    // screens that live as long.
    static AppNotifier* const notifier = [] {
        qRegisterMetaType<IndexPath>();
        qRegisterMetaType<std::optional<IndexPath>>();
        return new AppNotifier;
    }();
    return *notifier;
}
