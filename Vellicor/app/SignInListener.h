#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

// Receives the browser's return from a cloud sign-in: a small HTTP listener on
// the loopback address only. Each GET request's target becomes the whole
// redirect address ("http://127.0.0.1:<port>/<target>"), handed on once
// through redirectReceived; the browser gets a short page back. Anything else
// (another method, an over-long or silent request) is answered with an error
// and dropped. GUI thread.
class SignInListener : public QObject {
    Q_OBJECT
public:
    explicit SignInListener(QObject* parent = nullptr);

    // Listens on 127.0.0.1 at port (0: any free port); false when it cannot.
    bool listen(quint16 port = 0);
    quint16 port() const { return server_.serverPort(); }
    // "http://127.0.0.1:<port>": what sign-ins give as their redirect address.
    QString redirectBase() const;

signals:
    void redirectReceived(const QString& url);

private:
    void acceptConnections();

    QTcpServer server_;
};
