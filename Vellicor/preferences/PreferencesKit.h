#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

class QEvent;

// Presses, releases, drags, keys, wheel, tablet, touch and gestures: what a
// paused window drops. Hovering, entering and leaving, and a modifier key on
// its own are not input.
bool isUserInputEvent(const QEvent* event);

// The word the window title uses for a single pane, in the user's language;
// the kit carries these words itself.
enum class LocalizationIdentifier { preferences, preferencesEllipsized };

// In the first language of preferredLanguages that names one (BCP 47 names
// such as "de-DE" or "zh-Hant-TW"); with none, the current locale's. A
// language the table lacks answers in English.
QString localizedPreferencesWord(LocalizationIdentifier identifier, const QStringList& preferredLanguages);
// With the system's preferred interface languages.
QString localizedPreferencesWord(LocalizationIdentifier identifier);

// The application's name for titles: its display name, else its name, else
// the executable's name, else "<Unknown App Name>".
QString applicationNameForTitle();

// A toolbar icon drawn from one of our named images.
QIcon paneIcon(const QString& imageName);
