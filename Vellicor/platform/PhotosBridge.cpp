#include "platform/PhotosBridge.h"

#include <QRegularExpression>

QString scriptStringLiteral(const QString& text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + QString(c);
        else if (c == QLatin1Char('\n'))
            quoted += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            quoted += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            quoted += QLatin1String("\\t");
        else
            quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

bool isValidMediaItemId(const QString& id)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[A-Za-z0-9][A-Za-z0-9/_.-]{0,127}\\z"));
    return pattern.match(id).hasMatch();
}

QString albumCreationScript(const QString& albumName)
{
    return QStringLiteral("tell application \"Photos\" \n delay 3\n make new album named %1\n end tell")
        .arg(scriptStringLiteral(albumName));
}

QString mediaIdListLiteral(const QStringList& ids)
{
    QStringList quoted;
    for (const QString& id : ids)
        quoted << scriptStringLiteral(id);
    return QLatin1Char('{') + quoted.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString addToAlbumScript(const QString& albumName, const QStringList& ids)
{
    // Single-pass arg() so that a name holding "%2" is not filled in again.
    return QStringLiteral("tell application \"Photos\" \n set source_album_name to \"All Photos\" \n"
                          " set target_album_name to %1 \n  set imageList to {} \n set imageId to %2 \n"
                          " set mediaItems to every media item \n repeat with mediaItem in mediaItems \n"
                          " set mediaID to id of mediaItem as string \n if (mediaID is in imageId) then \n"
                          " set the end of imageList to mediaItem \n  end if \n end repeat \n"
                          " add imageList to container named target_album_name \n end tell")
        .arg(scriptStringLiteral(albumName), mediaIdListLiteral(ids));
}
