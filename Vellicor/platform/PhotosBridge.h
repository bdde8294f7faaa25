#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The photo application, as the photo-library clean-up talks to it: whether
// it runs, its library, its albums and media items, and its script host.
// Every call blocks until the application has answered; the clean-up calls
// them from its worker thread, one at a time.
class PhotosBridge {
public:
    virtual ~PhotosBridge() = default;

    // What running a script gave: a result (the script ran to its end), or the
    // application's error number (0 when none was given).
    struct ScriptRun {
        bool hasResult = false;
        int errorNumber = 0;
    };
    // The error number of a script the user has not allowed to control the
    // application.
    static constexpr int notAuthorizedError = -1743;

    virtual bool isApplicationRunning() = 0;
    // Asks the application to open the library package at path; nothing is
    // waited for.
    virtual void openLibrary(const QString& path) = 0;
    // The names of the application's albums and folders; absent when it
    // cannot be asked.
    virtual std::optional<QStringList> containerNames() = 0;
    // The id of the media item the application knows under id; absent when it
    // has none.
    virtual std::optional<QString> mediaItemId(const QString& id) = 0;
    virtual ScriptRun runScript(const QString& source) = 0;
};

// This system has no such application: it never runs, knows no album and no
// item, and runs no script.
class UnavailablePhotosBridge : public PhotosBridge {
public:
    bool isApplicationRunning() override { return false; }
    void openLibrary(const QString&) override { }
    std::optional<QStringList> containerNames() override { return std::nullopt; }
    std::optional<QString> mediaItemId(const QString&) override { return std::nullopt; }
    ScriptRun runScript(const QString&) override { return {}; }
};

// Script texts. Every text put into them is a quoted literal with its
// backslashes, quotes and line breaks escaped, so that no name or id read from
// a library can change what a script does.
QString scriptStringLiteral(const QString& text);
// Whether id has the shape of a media-item id (letters, digits, '-', '_', '/'
// and '.', at most 128 characters). Anything else never reaches a script.
bool isValidMediaItemId(const QString& id);
QString albumCreationScript(const QString& albumName);
// {"a1","b2"}: the ids in order, each quoted.
QString mediaIdListLiteral(const QStringList& ids);
QString addToAlbumScript(const QString& albumName, const QStringList& ids);
