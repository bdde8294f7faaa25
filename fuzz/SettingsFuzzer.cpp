// The settings store starting on a settings file of any content: it reads
// what it can, sets a damaged file aside, and a later write still works; what
// it wrote, the next start reads as the store held it.

#include "FuzzSupport.h"

#include "base/SettingValue.h"
#include "base/UserDefaults.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = Fuzz::home() + QStringLiteral("/settings");
    const QByteArray content = Fuzz::bytes(data, size);
    Fuzz::writeFile(folder + QLatin1Char('/') + QLatin1String(UserDefaults::fileName), content);
    {
        UserDefaults store(folder);
        // Every key the file names, through every typed reading.
        const QStringList keys = QJsonDocument::fromJson(content).object().keys();
        for (const QString& key : keys) {
            store.object(key);
            store.boolValue(key);
            store.integerValue(key);
            store.realValue(key);
            store.textValue(key);
            store.dateValue(key);
            store.arrayValue(key);
            store.dictionaryValue(key);
        }
        store.readProblemAtStart();
        // A write merges the file as it is now with this store's change.
        const bool saved = store.setValue(QStringLiteral("fuzzWrite"), true);
        if (!keys.isEmpty())
            store.removeValue(keys.first());
        if (saved && store.synchronize()) {
            const UserDefaults next(folder);
            if (next.readProblemAtStart())
                __builtin_trap();
            for (const QString& key : keys + QStringList { QStringLiteral("fuzzWrite") }) {
                const QVariant held = store.object(key);
                const QVariant read = next.object(key);
                if (held.isValid() != read.isValid() || (held.isValid() && !Setting::writtenAlike(held, read)))
                    __builtin_trap();
            }
        }
    }
    QDir(folder).removeRecursively();
    return 0;
}
