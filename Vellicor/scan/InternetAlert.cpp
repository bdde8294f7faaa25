#include "scan/InternetAlert.h"

#include "base/AlertPresenter.h"
#include "core/Localization.h"

void showInternetUnavailableAlert()
{
    alertPresenter()->present({ localizedText(QStringLiteral("ID_INTERNET_NOT_AVILABLE")),
        localizedText(QStringLiteral("ID_PLEASE_CHECK_YOUR_INTERNET_CONNECTIVITY")),
        { localizedText(QStringLiteral("ID_OK")) } });
}

bool sourceNeedsInternet(ScanSource source)
{
    return source != ScanSource::thisComputer && source != ScanSource::lightroomCatalog
        && source != ScanSource::emptyFolderCleaner;
}
