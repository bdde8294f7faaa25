#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// One cloud service's configuration: the client registration and the
// addresses to reach it. The program ships none of it; it comes from
// "cloud.json" in the configuration folder, one object per service
// ("google", "dropbox", "onedrive", "box"), for example
//   { "dropbox": { "clientId": "…", "authorizeUrl": "https://…",
//                  "tokenUrl": "https://…", "apiBaseUrl": "https://…" } }
// The sign-in, token and API addresses (and further addresses the program
// fetches) must be https unless they are on this machine; plain http
// elsewhere is refused as if missing.
// An entry may name the scope its sign-in asks for ("scope"); each service
// asks for its own otherwise. Further keys a service needs (a content
// address, a discovery document) are read with text() and url().
struct CloudServiceConfig {
    QString service;
    QString clientId;
    // Empty for public clients (PKCE without a secret).
    QString clientSecret;
    QUrl authorizeUrl;
    QUrl tokenUrl;
    QUrl apiBaseUrl;
    // What the sign-in asks access to: the entry's "scope", else what the
    // service's handler asks by default.
    QString scope;
    QJsonObject raw;
    // Why the configuration file could not be read, for the user; empty when
    // it was read or there is none.
    QString readProblem;

    // A client id and both sign-in addresses, each http(s).
    bool hasCredentials() const;
    // The configuration with scope asked for unless its entry names one.
    CloudServiceConfig withDefaultScope(const QString& defaultScope) &&;
    // The entries the service cannot go without that are missing, or hold an
    // address refused: "clientId", "authorizeUrl", "tokenUrl" (Google's two
    // may come from its "discoveryUrl" instead) and "apiBaseUrl", in that
    // order.
    QStringList missingEntries() const;
    // "… is not set up …": what the sign-in says without its credentials,
    // naming the entries missing, or why the configuration was not read.
    QString missingCredentialsText(const QString& sourceName) const;
    // Why the source cannot be used, naming every entry it misses, the
    // client id with the addresses (or why the configuration was not read).
    QString notSetUpText(const QString& sourceName) const;
    QString text(const QString& key) const;
    // None unless the key holds an absolute https address, or an http one on
    // this machine.
    std::optional<QUrl> url(const QString& key) const;
    // True when url is https on a host listed under key: a list of host
    // names, where one beginning with "." stands for every host below that
    // domain ("thumbnailHosts": [".example.com"]). Nothing listed, nothing
    // passes.
    bool isOnListedHttpsHost(const QUrl& url, const QString& key) const;

private:
    QString notSetUpText(const QString& sourceName, const QStringList& missing) const;
};

// True for https, and for http on the loopback (127.0.0.0/8, ::1, localhost):
// where the program may send a token or a refresh token.
bool isSecureOrLoopback(const QUrl& url);

namespace CloudConfig {

// $XDG_CONFIG_HOME/Vellicor/cloud.json.
QString configFile();
// A configuration larger than this is not read.
inline constexpr qint64 largestConfigFile = 1000 * 1000;
// The service's entry; an empty one (without credentials) when the file or
// the entry is missing or damaged, which is logged. The file is read only from
// a settings folder of the user's own, only when it is a regular file within
// largestConfigFile, never through a link and without blocking: a pipe or a
// device in its place never holds the caller (the GUI thread).
CloudServiceConfig load(const QString& service);
CloudServiceConfig fromJson(const QString& service, const QJsonObject& json);

} // namespace CloudConfig
