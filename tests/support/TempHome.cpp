#include "support/TempHome.h"

#include <QDir>

namespace {
const char* const variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME",
    "XDG_RUNTIME_DIR"};
}

TempHome::TempHome()
{
    for (const char* name : variables) {
        if (qEnvironmentVariableIsSet(name))
            saved_[name] = qgetenv(name);
        else
            saved_[name] = std::nullopt;
    }
    qputenv("HOME", path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", cacheHome().toLocal8Bit());
    qputenv("XDG_STATE_HOME", stateHome().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    for (const QString& folder : {configHome(), cacheHome(), stateHome(), dataHome()})
        QDir().mkpath(folder);
}

TempHome::~TempHome()
{
    for (const auto& [name, value] : saved_) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}
