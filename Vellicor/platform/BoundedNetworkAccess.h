#pragma once

#include "platform/HttpAnswerReader.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QString>

#include <vector>

class QAbstractSocket;
class QNetworkReply;

// The program's only way to a service: a network access manager whose requests
// read their answers with our own HTTP/1.1 exchange over a TCP or TLS socket
// (the certificate and host name verified as the toolkit does by default),
// so that every byte of an answer, its status line and headers included, is
// counted as it arrives. An answer is given up at once at its bound (header
// bytes, body bytes) or its deadlines (the end of its headers, the whole
// exchange); the reply then ends with an error and boundOf tells which bound.
// No redirect is followed and no content coding is asked for. Only http and
// https addresses are fetched. Connections of answered requests are kept for
// the next request to the same host (not for a POST).
//
// GUI thread, or any one thread with an event loop, like its replies.
class BoundedNetworkAccess : public QNetworkAccessManager {
public:
    explicit BoundedNetworkAccess(QObject* parent = nullptr);
    BoundedNetworkAccess(const HttpLimits& limits, QObject* parent);
    ~BoundedNetworkAccess() override;

    // The bounds of the requests made from now on.
    void setLimits(const HttpLimits& limits) { limits_ = limits; }
    const HttpLimits& limits() const { return limits_; }

    enum class Bound {
        none,
        answerTooLarge,
        headersTooLarge,
        headersTooLate,
        deadline,
    };
    // The bound that ended a reply of this manager; none for any other end.
    static Bound boundOf(const QNetworkReply* reply);

    // How long a kept connection waits for the next request.
    static constexpr int idleConnectionMs = 30000;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* data) override;

private:
    friend class BoundedNetworkReply;
    QAbstractSocket* takeIdleConnection(const QString& key);
    void keepIdleConnection(const QString& key, QAbstractSocket* socket);
    void dropIdleConnection(QAbstractSocket* socket);

    struct Idle {
        QString key;
        QPointer<QAbstractSocket> socket;
    };
    std::vector<Idle> idle_;
    HttpLimits limits_;
};
