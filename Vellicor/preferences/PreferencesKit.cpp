#include "preferences/PreferencesKit.h"

#include "controls/NamedImage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

bool isUserInputEvent(const QEvent* event)
{
    if (!event)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::Gesture:
    case QEvent::NativeGesture:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::MouseMove:
        // A drag; a plain move is only hovering.
        return static_cast<const QMouseEvent*>(event)->buttons() != Qt::NoButton;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        switch (static_cast<const QKeyEvent*>(event)->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
            return false;
        default:
            return true;
        }
    default:
        return false;
    }
}

namespace {

struct PreferencesWord {
    const char* key;
    const char* word;
    const char* ellipsized;
};

// clang-format off
constexpr PreferencesWord preferencesWords[] = {
    { "ar", "تفضيلات", "تفضيلات…" },
    { "ca", "Preferències", "Preferències…" },
    { "cs", "Předvolby", "Předvolby…" },
    { "da", "Indstillinger", "Indstillinger…" },
    { "de", "Einstellungen", "Einstellungen…" },
    { "el", "Προτιμήσεις", "Προτιμήσεις…" },
    { "en", "Preferences", "Preferences…" },
    { "en-AU", "Preferences", "Preferences…" },
    { "en-GB", "Preferences", "Preferences…" },
    { "es", "Preferencias", "Preferencias…" },
    { "es-419", "Preferencias", "Preferencias…" },
    { "fi", "Asetukset", "Asetukset…" },
    { "fr", "Préférences", "Préférences…" },
    { "fr-CA", "Préférences", "Préférences…" },
    { "he", "העדפות", "העדפות…" },
    { "hi", "प्राथमिकता", "प्राथमिकता…" },
    { "hr", "Postavke", "Postavke…" },
    { "hu", "Beállítások", "Beállítások…" },
    { "id", "Preferensi", "Preferensi…" },
    { "it", "Preferenze", "Preferenze…" },
    { "ja", "環境設定", "環境設定…" },
    { "ko", "환경설정", "환경설정..." },
    { "ms", "Keutamaan", "Keutamaan…" },
    { "nl", "Voorkeuren", "Voorkeuren…" },
    { "no", "Valg", "Valg…" },
    { "pl", "Preferencje", "Preferencje…" },
    { "pt", "Preferências", "Preferências…" },
    { "pt-PT", "Preferências", "Preferências…" },
    { "ro", "Preferințe", "Preferințe…" },
    { "ru", "Настройки", "Настройки…" },
    { "sk", "Nastavenia", "Nastavenia…" },
    { "sv", "Inställningar", "Inställningar…" },
    { "th", "การตั้งค่า", "การตั้งค่า…" },
    { "tr", "Tercihler", "Tercihler…" },
    { "uk", "Параметри", "Параметри…" },
    { "vi", "Tùy chọn", "Tùy chọn…" },
    { "zh-CN", "偏好设置", "偏好设置…" },
    { "zh-HK", "偏好設定", "偏好設定⋯" },
    { "zh-TW", "偏好設定", "偏好設定⋯" },
};
// clang-format on

std::optional<QString> wordFor(const QString& key, LocalizationIdentifier identifier)
{
    for (const PreferencesWord& entry : preferencesWords) {
        if (key == QLatin1String(entry.key))
            return QString::fromUtf8(identifier == LocalizationIdentifier::preferences ? entry.word : entry.ellipsized);
    }
    return std::nullopt;
}

bool hasLanguageCode(const QLocale& locale)
{
    return locale.language() != QLocale::C && locale.language() != QLocale::AnyLanguage;
}

} // namespace

QString localizedPreferencesWord(LocalizationIdentifier identifier, const QStringList& preferredLanguages)
{
    const QString fallback = *wordFor(QStringLiteral("en"), identifier);
    QLocale preferred;
    bool found = false;
    for (const QString& name : preferredLanguages) {
        const QLocale locale(name);
        if (hasLanguageCode(locale)) {
            preferred = locale;
            found = true;
            break;
        }
    }
    if (!found)
        preferred = QLocale();
    if (!hasLanguageCode(preferred))
        return fallback;

    const QString language = QLocale::languageToCode(preferred.language());
    if (language != QLatin1String("zh"))
        return wordFor(language, identifier).value_or(fallback);
    const QString region = QLocale::territoryToCode(preferred.territory());
    const QString key = region == QLatin1String("HK") || region == QLatin1String("TW") ? QStringLiteral("zh-") + region
                                                                                       : QStringLiteral("zh-CN");
    return wordFor(key, identifier).value_or(fallback);
}

QString localizedPreferencesWord(LocalizationIdentifier identifier)
{
    return localizedPreferencesWord(identifier, QLocale::system().uiLanguages());
}

QString applicationNameForTitle()
{
    if (const QString display = QGuiApplication::applicationDisplayName(); !display.isEmpty())
        return display;
    if (const QString name = QCoreApplication::applicationName(); !name.isEmpty())
        return name;
    if (const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName(); !executable.isEmpty())
        return executable;
    return QStringLiteral("<Unknown App Name>");
}

QIcon paneIcon(const QString& imageName)
{
    const NamedImage image = NamedImage::load(imageName);
    QIcon icon;
    if (image.isNull())
        return icon;
    for (const qreal ratio : { 1.0, 2.0 }) {
        const QSizeF size = image.naturalSize();
        QPixmap pixmap((size * ratio).toSize());
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        image.draw(painter, QRectF(QPointF(), size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
