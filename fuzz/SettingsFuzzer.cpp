// The settings store starting on a settings file of any content: it reads
// what it can, sets a damaged file aside, and a later write still works.

#include "FuzzSupport.h"

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
        store.setValue(QStringLiteral("fuzzWrite"), true);
        if (!keys.isEmpty())
            store.removeValue(keys.first());
    }
    QDir(folder).removeRecursively();
    return 0;
}
