#include "cloud/SecretStore.h"

#include "base/Log.h"
#include "core/Localization.h"

#include <QPointer>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <iterator>
#include <memory>
#include <utility>

KeychainSecretStore::KeychainSecretStore(QString service)
    : service_(std::move(service))
{
}

void KeychainSecretStore::writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done)
{
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    job->setTextData(secret);
    QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done), key](QKeychain::Job* finished) {
        if (finished->error() != QKeychain::NoError)
            Log::print("The keychain item could not be written:", key, finished->errorString());
        done(finished->error() == QKeychain::NoError);
    });
    job->start();
}

void KeychainSecretStore::readSecret(const QString& key, std::function<void(std::optional<QString>)> done)
{
    auto* job = new QKeychain::ReadPasswordJob(service_);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* finished) {
        if (finished->error() != QKeychain::NoError) {
            done(std::nullopt);
            return;
        }
        done(static_cast<QKeychain::ReadPasswordJob*>(finished)->textData());
    });
    job->start();
}

void KeychainSecretStore::removeSecret(
    const QString& key, std::function<void(bool removed, const QString& reason)> done)
{
    auto* job = new QKeychain::DeletePasswordJob(service_);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done), key](QKeychain::Job* finished) {
        if (finished->error() == QKeychain::NoError || finished->error() == QKeychain::EntryNotFound) {
            done(true, QString());
            return;
        }
        Log::print("The keychain item could not be removed:", key, finished->errorString());
        done(false, finished->errorString());
    });
    job->start();
}

void MemorySecretStore::writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done)
{
    items.insert(key, secret);
    done(true);
}

void MemorySecretStore::readSecret(const QString& key, std::function<void(std::optional<QString>)> done)
{
    const auto found = items.constFind(key);
    done(found == items.constEnd() ? std::nullopt : std::optional<QString>(*found));
}

void MemorySecretStore::removeSecret(const QString& key, std::function<void(bool removed, const QString& reason)> done)
{
    items.remove(key);
    done(true, QString());
}

void removeStoredSignIns(
    SecretStore& store, int waitMs, QObject* context, std::function<void(std::vector<SignInRemoval>)> done)
{
    const std::pair<const char*, const char*> kept[] = { { SecretItem::googleDrive, "ID_GOOGLE_DRIVE" },
        { SecretItem::dropbox, "ID_DROPBOX" }, { SecretItem::box, "ID_BOXCLOUD" } };
    // Shared by the removals' answers and the deadline; whichever ends the
    // run first tells it, and the rest find it ended.
    struct Run {
        std::vector<SignInRemoval> outcomes;
        size_t answered = 0;
        bool ended = false;
        QPointer<QObject> context;
        std::function<void(std::vector<SignInRemoval>)> done;
        void end()
        {
            if (std::exchange(ended, true) || !context)
                return;
            if (const auto tell = std::exchange(done, nullptr))
                tell(std::move(outcomes));
        }
    };
    auto run = std::make_shared<Run>();
    run->context = context;
    run->done = std::move(done);
    for (const auto& [item, service] : kept)
        run->outcomes.push_back({ localizedText(service), false, localizedText("ID_KEYRING_DID_NOT_ANSWER") });
    QTimer::singleShot(waitMs, context, [run, waitMs] {
        if (!run->ended)
            Log::print("The keyring did not answer every removal of a sign-in within", waitMs, "ms");
        run->end();
    });
    for (size_t i = 0; i < std::size(kept); ++i) {
        store.removeSecret(QString::fromLatin1(kept[i].first), [run, i](bool removed, const QString& reason) {
            if (run->ended)
                return;
            run->outcomes[i].removed = removed;
            run->outcomes[i].reason = removed ? QString() : reason;
            if (++run->answered == run->outcomes.size())
                run->end();
        });
    }
}
