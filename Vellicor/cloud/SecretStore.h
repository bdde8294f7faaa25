#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QObject;

// Where sign-ins keep their tokens between runs. Every answer arrives later,
// on the GUI thread; a secret is never written anywhere else (no plain-text
// fallback: without a store a sign-in lasts for the run).
class SecretStore {
public:
    virtual ~SecretStore() = default;
    virtual void writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done) = 0;
    // None when there is no such item or the store cannot be reached.
    virtual void readSecret(const QString& key, std::function<void(std::optional<QString>)> done) = 0;
    // removed is true when the item is gone afterwards (also when it never
    // existed); otherwise reason says why, in the store's words.
    virtual void removeSecret(const QString& key, std::function<void(bool removed, const QString& reason)> done) = 0;
};

// The desktop's Secret Service through QtKeychain, items under the service
// name given ("Vellicor" for the program; tests keep theirs apart).
class KeychainSecretStore : public SecretStore {
public:
    explicit KeychainSecretStore(QString service = QStringLiteral("Vellicor"));
    void writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done) override;
    void readSecret(const QString& key, std::function<void(std::optional<QString>)> done) override;
    void removeSecret(const QString& key, std::function<void(bool removed, const QString& reason)> done) override;

private:
    QString service_;
};

// Keeps secrets in memory only: for tests, and the run's sign-in where the
// desktop has no Secret Service. Answers at once.
class MemorySecretStore : public SecretStore {
public:
    void writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done) override;
    void readSecret(const QString& key, std::function<void(std::optional<QString>)> done) override;
    void removeSecret(const QString& key, std::function<void(bool removed, const QString& reason)> done) override;

    QHash<QString, QString> items;
};

// The items the cloud sign-ins keep in the store, one per service. Every
// handler names its item from here, so that an uninstall finds them all.
namespace SecretItem {
inline constexpr char googleDrive[] = "Authorization1";
inline constexpr char dropbox[] = "Dropbox Authorization";
inline constexpr char box[] = "Box Authorization";
} // namespace SecretItem

// What became of one service's kept sign-in when it was removed.
struct SignInRemoval {
    // The service's name as the user knows it.
    QString service;
    bool removed = false;
    // Why not, when it was not.
    QString reason;
};

// Removes every sign-in item this program keeps in store, whichever service
// it is for and whether it was made in this run or an earlier one. done runs
// once, on the GUI thread, with one outcome per service: when every removal
// has answered, or after waitMs with the ones that had not answered by then
// told as such (their late answers are dropped). It may run before this
// returns; never once context is gone.
void removeStoredSignIns(
    SecretStore& store, int waitMs, QObject* context, std::function<void(std::vector<SignInRemoval>)> done);
