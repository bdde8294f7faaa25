#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

// Where sign-ins keep their tokens between runs. Every answer arrives later,
// on the GUI thread; a secret is never written anywhere else (no plain-text
// fallback: without a store a sign-in lasts for the run).
class SecretStore {
public:
    virtual ~SecretStore() = default;
    virtual void writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done) = 0;
    // None when there is no such item or the store cannot be reached.
    virtual void readSecret(const QString& key, std::function<void(std::optional<QString>)> done) = 0;
    // True when the item is gone afterwards (also when it never existed).
    virtual void removeSecret(const QString& key, std::function<void(bool)> done) = 0;
};

// The desktop's Secret Service through QtKeychain, items under the service
// name "Vellicor".
class KeychainSecretStore : public SecretStore {
public:
    void writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done) override;
    void readSecret(const QString& key, std::function<void(std::optional<QString>)> done) override;
    void removeSecret(const QString& key, std::function<void(bool)> done) override;
};

// Keeps secrets in memory only: for tests, and the run's sign-in where the
// desktop has no Secret Service. Answers at once.
class MemorySecretStore : public SecretStore {
public:
    void writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done) override;
    void readSecret(const QString& key, std::function<void(std::optional<QString>)> done) override;
    void removeSecret(const QString& key, std::function<void(bool)> done) override;

    QHash<QString, QString> items;
};
