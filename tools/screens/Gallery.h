#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

// The pages of the screen gallery. A page is a named render function; a file
// that defines pages registers each with a static GalleryRegistration, and
// the gallery writes every page to "<name>.png".
struct GalleryPage {
    QString name;
    std::function<QImage()> render;
};

std::vector<GalleryPage>& galleryPages();

struct GalleryRegistration {
    GalleryRegistration(const char* name, std::function<QImage()> render);
};

// The device-pixel ratio every page is rendered at (--scale, default 1).
qreal galleryScale();
void setGalleryScale(qreal scale);

// The background of the application's dark screens.
inline const QColor darkScreenColor { 29, 29, 29 };

// Points the XDG configuration, cache, state and data folders into folder,
// so that a page's settings and caches never touch the user's own.
void pointXdgFoldersInto(const QString& folder);

// The widget and its children as they would appear on screen, on a
// transparent background, at the gallery's scale. The widget need not be
// shown.
QImage renderWidget(QWidget& widget);

// The newest message box owned by owner, as it would appear on screen, with
// its own background, at the gallery's scale; the box is then deleted. A null
// image when owner has none.
QImage takeAlertBox(QWidget& owner);

// A dialog at its present size, on its own background, at the gallery's
// scale.
QImage renderDialog(QWidget& dialog);

// Gives currentLanguageCode back, when it goes, the value it had when it was
// made: a page laid out in another language leaves the next page as it found
// it.
class KeptLanguage {
public:
    KeptLanguage();
    ~KeptLanguage();
    KeptLanguage(const KeptLanguage&) = delete;
    KeptLanguage& operator=(const KeptLanguage&) = delete;

private:
    QString saved_;
};

// A page of captioned samples laid out in rows, each sample a widget caught
// in one state.
class GallerySheet {
public:
    explicit GallerySheet(const QString& title, const QColor& background = darkScreenColor);

    // Renders widget now, so the caller may change its state and add it again.
    void addSample(const QString& caption, QWidget& widget);
    void newRow(const QString& heading = QString());
    QImage image() const;

private:
    struct Sample {
        QString caption;
        QImage picture;
    };
    struct Row {
        QString heading;
        std::vector<Sample> samples;
    };
    QString title_;
    QColor background_;
    std::vector<Row> rows_;
};
