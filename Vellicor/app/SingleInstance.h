#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

// Keeps the program to one running copy per user, so that two copies never
// each write their own whole lists over the other's. The first start holds a
// lock file in the runtime folder for its whole run and listens on a local
// socket beside it; a later start finds the lock held, asks the first copy to
// bring its window to the front, and ends. A lock or socket left by a copy
// that crashed does not count: the lock names a process that is gone, and the
// socket is replaced. Every wait is bounded. GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the lock and the socket live (the runtime folder); key:
    // what the copies share, the settings folder, so that a copy run on
    // other settings (a test, another profile) is not turned away.
    SingleInstance(const QString& folder, const QString& key, QObject* parent = nullptr);

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

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    bool askFirstToActivate();
    void acceptConnections();

    QString folder_;
    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};
