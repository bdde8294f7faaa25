#pragma once

#include "base/AlertPresenter.h"
#include "base/PrivateFiles.h"
#include "core/FileUtilities.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <optional>

// Keeps the program to one running copy per settings folder, so that two
// copies never each write their own whole lists over the other's. The first
// start holds a lock on a file in the settings folder itself for its whole
// run, whatever runtime folder each start was given, and listens on a local
// socket in its runtime folder, whose path it writes into the lock file; a
// later start finds the lock held, asks the first copy at that socket to
// bring its window to the front, and ends. The lock goes with the process
// that held it, so a copy that crashed leaves nothing that counts. The socket
// lives only in a folder that is the user's own, open to nobody else and not
// a link: one another user made or replaced is not used. Every wait is
// bounded. GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // runtimeFolder: where the socket lives; settingsFolder: what the copies
    // share, and where the lock lives, so that a copy run on other settings
    // (a test, another profile) is not turned away.
    SingleInstance(const QString& runtimeFolder, const QString& settingsFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Start {
        // This is the only copy; it now listens for later starts.
        first,
        // Another copy runs and was asked to come to the front.
        handedOver,
        // Another copy holds the lock but did not answer in time.
        otherNotReached,
    };
    Start start();

    QString lockPath() const;
    QString socketPath() const;
    // Why the runtime folder was not used, after a first start: the program
    // runs, but a later start cannot bring its window to the front. A folder
    // that is there and refused is handed to FolderRefusals too.
    std::optional<PrivateFiles::FolderFault> runtimeFolderFault() const { return runtimeFault_; }
    // What the user is told of that fault.
    static AlertRequest runtimeFolderAlert(const QString& folder, PrivateFiles::FolderFault fault);

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    // The lock file, open; none when it cannot be had (the start goes on
    // alone).
    FileDescriptor openLockFile() const;
    void listen();
    bool askFirstToActivate(const QString& socket);
    void acceptConnections();

    QString runtimeFolder_;
    QString settingsFolder_;
    QString name_;
    FileDescriptor lock_;
    std::optional<PrivateFiles::FolderFault> runtimeFault_;
    QLocalServer server_;
};
