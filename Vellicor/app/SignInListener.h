#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>

#include <functional>
#include <vector>

class QTcpSocket;

// Receives the browser's return from a cloud sign-in: a small HTTP listener on
// the loopback address only, open only while a sign-in waits (its owner opens
// it as a sign-in starts and closes it once none waits). A connection that
// arrives when no sign-in waits any more is closed at once without an
// answer. Otherwise each GET
// request's target becomes the whole redirect address
// ("http://127.0.0.1:<port>/<target>") and goes to the redirect taker; the
// browser gets a short page saying whether it was taken. Anything else
// (another method, an over-long request) is answered with an error. A few
// connections at a time are served, further ones closed at once, and one that
// has not sent its request within a short time is dropped, so neither idle
// connections nor a flood can pin the program's files. With every place
// taken, a new connection displaces the oldest one that has sent no request
// yet: connections someone else keeps open cannot shut the browser out.
// GUI thread.
class SignInListener : public QObject {
    Q_OBJECT
public:
    // Whether some sign-in waits for its redirect.
    using Waiting = std::function<bool()>;
    // Hands a redirect on; true when a waiting sign-in took it.
    using Taker = std::function<bool(const QString& url)>;

    static constexpr int maximumConnections = 8;

    explicit SignInListener(QObject* parent = nullptr);

    // Listens on 127.0.0.1, on the port of the last time when it is free (so
    // a redirect address handed out then still leads here), else on any free
    // one; false when it cannot. Listening already is success.
    bool open();
    // Stops taking connections; those already served finish.
    void close() { server_.close(); }
    bool isListening() const { return server_.isListening(); }
    // The port listened on now; 0 while closed.
    quint16 port() const { return server_.serverPort(); }
    // "http://127.0.0.1:<port>" of the port listened on now: what a sign-in
    // starting now gives as its redirect address.
    QString redirectBase() const;

    void setSignInWaiting(Waiting waiting) { waiting_ = std::move(waiting); }
    void setRedirectTaker(Taker taker) { taker_ = std::move(taker); }
    // How long a connection has to send its request line.
    void setRequestTimeLimitMs(int ms) { requestTimeLimitMs_ = ms; }

private:
    void acceptConnections();
    void readRequest(QTcpSocket* socket);
    bool isSignInWaiting() const { return waiting_ && waiting_(); }

    Waiting waiting_;
    Taker taker_;
    int requestTimeLimitMs_ = 5000;
    // The connections served now, oldest first.
    std::vector<QPointer<QTcpSocket>> connections_;
    quint16 lastPort_ = 0;
    // Last: its connections go first, while the count above still exists.
    QTcpServer server_;
};
