#include "cloud/CloudConfig.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"
#include "core/CommonFuncs.h"
#include "core/Localization.h"
#include "core/OwnFolderTexts.h"
#include "core/TextFormat.h"

#include <QDir>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

bool isWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

QUrl webAddress(const QJsonObject& json, const QString& key)
{
    const QUrl url(json.value(key).toString(), QUrl::StrictMode);
    return isWebAddress(url) ? url : QUrl();
}

// An address of the sign-in or one the program itself sends tokens to:
// refused (empty) unless https or on this machine, where nothing crosses a
// network.
QUrl endpointAddress(const QJsonObject& json, const QString& key)
{
    const QUrl url = webAddress(json, key);
    if (url.isEmpty() || isSecureOrLoopback(url))
        return url;
    Log::print("An address in the cloud configuration was refused (plain http off this machine):", key, url.host());
    return QUrl();
}

} // namespace

bool isSecureOrLoopback(const QUrl& url)
{
    if (url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    if (url.scheme() != QLatin1String("http"))
        return false;
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool CloudServiceConfig::hasCredentials() const
{
    return !clientId.isEmpty() && isWebAddress(authorizeUrl) && isWebAddress(tokenUrl);
}

CloudServiceConfig CloudServiceConfig::withDefaultScope(const QString& defaultScope) &&
{
    if (scope.isEmpty())
        scope = defaultScope;
    return std::move(*this);
}

QStringList CloudServiceConfig::missingEntries() const
{
    QStringList missing;
    if (clientId.isEmpty())
        missing << QStringLiteral("clientId");
    // Google's sign-in addresses may come from its discovery document.
    const bool discovers = service == QLatin1String("google") && url(QStringLiteral("discoveryUrl"));
    if (!discovers) {
        if (!isWebAddress(authorizeUrl))
            missing << QStringLiteral("authorizeUrl");
        if (!isWebAddress(tokenUrl))
            missing << QStringLiteral("tokenUrl");
    }
    if (!isWebAddress(apiBaseUrl))
        missing << QStringLiteral("apiBaseUrl");
    return missing;
}

QString CloudServiceConfig::missingCredentialsText(const QString& sourceName) const
{
    QStringList missing = missingEntries();
    missing.removeAll(QStringLiteral("apiBaseUrl"));
    return notSetUpText(sourceName, missing);
}

QString CloudServiceConfig::notSetUpText(const QString& sourceName) const
{
    return notSetUpText(sourceName, missingEntries());
}

QString CloudServiceConfig::notSetUpText(const QString& sourceName, const QStringList& missing) const
{
    if (!readProblem.isEmpty())
        return formatText(
            localizedText("ID_CLOUD_CONFIG_NOT_READ"), { sourceName, CloudConfig::configFile(), readProblem });
    if (missing.isEmpty())
        return QStringLiteral("%1 is not set up: see its entry \"%2\" in %3.")
            .arg(sourceName, service, CloudConfig::configFile());
    const bool noClient = missing.contains(QStringLiteral("clientId"));
    if (noClient && missing.size() == 1)
        return QStringLiteral("%1 is not set up: this copy of Vellicor has no client id for it. "
                              "Add one under \"%2\" in %3.")
            .arg(sourceName, service, CloudConfig::configFile());
    static const std::pair<const char*, const char*> described[] = {
        { "authorizeUrl", "sign-in page" },
        { "tokenUrl", "token address" },
        { "apiBaseUrl", "address of the service" },
    };
    QStringList named;
    bool refused = false;
    for (const auto& [key, what] : described) {
        const QString entry = QString::fromLatin1(key);
        if (!missing.contains(entry))
            continue;
        named << QStringLiteral("%1 (\"%2\")").arg(QLatin1String(what), entry);
        refused = refused || raw.contains(entry);
    }
    QStringList lacks;
    if (noClient)
        lacks << QStringLiteral("client id (\"clientId\")");
    if (!named.isEmpty()) {
        const QString last = named.takeLast();
        lacks << QStringLiteral("usable ")
                + (named.isEmpty() ? last : named.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last);
    }
    QString text = QStringLiteral("%1 is not set up: its entry \"%2\" in %3 has no %4.")
                       .arg(sourceName, service, CloudConfig::configFile(), lacks.join(QStringLiteral(" and no ")));
    // An address there but refused is told as such: what would be taken.
    if (refused)
        text += QStringLiteral(" An address must be https, or http on this computer.");
    return text;
}

QString CloudServiceConfig::text(const QString& key) const
{
    return raw.value(key).toString();
}

std::optional<QUrl> CloudServiceConfig::url(const QString& key) const
{
    const QUrl address = endpointAddress(raw, key);
    return address.isEmpty() ? std::nullopt : std::optional<QUrl>(address);
}

bool CloudServiceConfig::isOnListedHttpsHost(const QUrl& url, const QString& key) const
{
    const QString host = url.host();
    if (!url.isValid() || url.scheme() != QLatin1String("https") || host.isEmpty())
        return false;
    const QJsonArray listed = raw.value(key).toArray();
    return std::any_of(listed.begin(), listed.end(), [&host](const QJsonValue& value) {
        const QString entry = value.toString();
        if (entry.startsWith(QLatin1Char('.')))
            return entry.size() > 1 && host.endsWith(entry, Qt::CaseInsensitive);
        return !entry.isEmpty() && host.compare(entry, Qt::CaseInsensitive) == 0;
    });
}

namespace CloudConfig {

QString configFile()
{
    return QDir(AppPaths::settingsFolder()).filePath(QStringLiteral("cloud.json"));
}

CloudServiceConfig fromJson(const QString& service, const QJsonObject& json)
{
    CloudServiceConfig config;
    config.service = service;
    config.raw = json;
    config.clientId = json.value(QStringLiteral("clientId")).toString().trimmed();
    config.clientSecret = json.value(QStringLiteral("clientSecret")).toString();
    config.authorizeUrl = endpointAddress(json, QStringLiteral("authorizeUrl"));
    config.tokenUrl = endpointAddress(json, QStringLiteral("tokenUrl"));
    config.apiBaseUrl = endpointAddress(json, QStringLiteral("apiBaseUrl"));
    // Blanks are tidied, so one of blanks only is none; one that is not text
    // is none too, and said so.
    const QJsonValue scope = json.value(QStringLiteral("scope"));
    if (!scope.isString() && !scope.isNull() && !scope.isUndefined())
        Log::print("The cloud configuration's \"scope\" of", service, "is not text; it was left out");
    config.scope = scope.toString().simplified();
    return config;
}

CloudServiceConfig load(const QString& service)
{
    CloudServiceConfig empty = fromJson(service, {});
    const auto unread = [&empty](const QString& problem) {
        Log::print("The cloud configuration could not be read:", configFile(), problem);
        empty.readProblem = problem;
        return empty;
    };
    // Addresses and client ids from a folder another user could have filled
    // would send the user's sign-in to them.
    if (const auto fault = PrivateFiles::useOwnFolder(
            AppPaths::settingsFolder(), PrivateFiles::FolderUse::settings, PrivateFiles::Make::never)) {
        if (*fault == PrivateFiles::FolderFault::missing)
            return empty;
        return unread(formatText(localizedText("ID_CLOUD_CONFIG_FOLDER_UNSAFE"), { folderFaultText(*fault) }));
    }
    using Outcome = PrivateFiles::SmallFile::Outcome;
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(configFile(), largestConfigFile);
    switch (file.outcome) {
    case Outcome::missing:
        return empty;
    case Outcome::link:
        return unread(localizedText("ID_CLOUD_CONFIG_LINK"));
    case Outcome::notAFile:
        return unread(localizedText("ID_CLOUD_CONFIG_NOT_A_FILE"));
    case Outcome::tooLarge:
        return unread(
            formatText(localizedText("ID_CLOUD_CONFIG_TOO_LARGE"), { getSizeInUnits(double(largestConfigFile)) }));
    case Outcome::failed:
        return unread(formatText(localizedText("ID_CLOUD_CONFIG_NOT_OPENED"), { file.reason }));
    case Outcome::read:
        break;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.bytes, &error);
    if (!document.isObject()) {
        const QString reason
            = error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not a JSON object");
        return unread(formatText(localizedText("ID_CLOUD_CONFIG_DAMAGED"), { reason }));
    }
    return fromJson(service, document.object().value(service).toObject());
}

} // namespace CloudConfig
