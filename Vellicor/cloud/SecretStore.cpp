#include "cloud/SecretStore.h"

#include "base/Log.h"

#include <qt6keychain/keychain.h>

namespace {

const QString serviceName = QStringLiteral("Vellicor");

} // namespace

void KeychainSecretStore::writeSecret(const QString& key, const QString& secret, std::function<void(bool)> done)
{
    auto* job = new QKeychain::WritePasswordJob(serviceName);
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
    auto* job = new QKeychain::ReadPasswordJob(serviceName);
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

void KeychainSecretStore::removeSecret(const QString& key, std::function<void(bool)> done)
{
    auto* job = new QKeychain::DeletePasswordJob(serviceName);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* finished) {
        done(finished->error() == QKeychain::NoError || finished->error() == QKeychain::EntryNotFound);
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

void MemorySecretStore::removeSecret(const QString& key, std::function<void(bool)> done)
{
    items.remove(key);
    done(true);
}
