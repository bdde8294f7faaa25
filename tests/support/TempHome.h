#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <optional>

// Points HOME and the XDG folders at a fresh temporary folder for as long as it
// lives, and puts the previous values back afterwards.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path() const { return dir_.path(); }
    QString configHome() const { return path() + QStringLiteral("/config"); }
    QString cacheHome() const { return path() + QStringLiteral("/cache"); }
    QString stateHome() const { return path() + QStringLiteral("/state"); }
    QString dataHome() const { return path() + QStringLiteral("/data"); }

private:
    QTemporaryDir dir_;
    std::map<QByteArray, std::optional<QByteArray>> saved_;
};
