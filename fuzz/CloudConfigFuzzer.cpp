// The cloud configuration file of any content: each service's entry is
// usable or empty, and no address it gives is taken unchecked.

#include "FuzzSupport.h"

#include "cloud/CloudConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::writeFile(CloudConfig::configFile(), Fuzz::bytes(data, size));
    for (const char* service : { "google", "dropbox", "onedrive", "box", "lightroom" }) {
        const CloudServiceConfig config = CloudConfig::load(QString::fromLatin1(service));
        config.hasCredentials();
        config.missingCredentialsText(QStringLiteral("Service"));
        for (const char* key : { "discoveryUrl", "contentUrl", "catalogPath" }) {
            config.text(QString::fromLatin1(key));
            // An address handed out must be https or on this machine.
            if (const std::optional<QUrl> url = config.url(QString::fromLatin1(key)); url && !isSecureOrLoopback(*url))
                __builtin_trap();
        }
        if (!config.tokenUrl.isEmpty() && !isSecureOrLoopback(config.tokenUrl))
            __builtin_trap();
        if (!config.apiBaseUrl.isEmpty() && !isSecureOrLoopback(config.apiBaseUrl))
            __builtin_trap();
    }
    return 0;
}
