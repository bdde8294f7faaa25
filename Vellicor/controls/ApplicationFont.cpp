#include "controls/ApplicationFont.h"

#include "base/Log.h"
#include "controls/DialogLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QStyleFactory>

namespace {

constexpr int defaultFontSize = 13;

bool loadFamilyFiles()
{
    static const char* const files[] = {
        "LiberationSans-Regular.ttf",
        "LiberationSans-Bold.ttf",
        "LiberationSans-Italic.ttf",
        "LiberationSans-BoldItalic.ttf",
    };
    bool loadedAny = false;
    for (const char* file : files) {
        const QString path = QStandardPaths::locate(
            QStandardPaths::GenericDataLocation, QStringLiteral("fonts/truetype/liberation2/") + QLatin1String(file));
        if (!path.isEmpty() && QFontDatabase::addApplicationFont(path) >= 0)
            loadedAny = true;
    }
    return loadedAny;
}

// Fusion, with our alert icons for the standard message-box ones and no
// icons on dialog buttons (our dialogs have none): boxes and choosers that Qt
// builds itself then look like ours on every desktop.
class ProgramStyle : public QProxyStyle {
public:
    ProgramStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (icon) {
        case SP_MessageBoxWarning:
            return alertStandardIcon(AlertStyle::warning);
        case SP_MessageBoxCritical:
            return alertStandardIcon(AlertStyle::critical);
        case SP_MessageBoxInformation:
        case SP_MessageBoxQuestion:
            return alertStandardIcon(AlertStyle::informational);
        default:
            return QProxyStyle::standardIcon(icon, option, widget);
        }
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
        QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    using QProxyStyle::polish;
    // Every label draws its text as the characters it is, unless the code
    // that made it asked for rich text: a file name, a path or a service's
    // answer holding markup can never draw as markup (a picture, a link,
    // another name). Labels, alerts and tool tips (the toolkit's tip is a
    // label too, polished here) all take their text this way.
    void polish(QWidget* widget) override
    {
        QProxyStyle::polish(widget);
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->textFormat() == Qt::AutoText)
            label->setTextFormat(Qt::PlainText);
    }
};

} // namespace

bool installApplicationFont()
{
    const QString family = QString::fromLatin1(applicationFontFamily);
    // The system's font configuration may know the family without its files
    // lying where we look, and the reverse; either is enough.
    const bool available = loadFamilyFiles() || QFontDatabase::hasFamily(family);
    if (!available) {
        Log::print("The application font", family, "is not installed; using the default font");
        return false;
    }
    QApplication::setFont(systemFontOfSize(defaultFontSize));
    return true;
}

QFont systemFontOfSize(int size, QFont::Weight weight)
{
    QFont font(QString::fromLatin1(applicationFontFamily));
    font.setPixelSize(qMax(1, size));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void installApplicationStyle()
{
    QApplication::setStyle(new ProgramStyle);
    // The colours the home and results screens paint with.
    const QColor window(36, 38, 41);
    const QColor panel(47, 49, 52);
    const QColor field(50, 52, 56);
    const QColor text(220, 222, 226);
    const QColor dimmed(128, 131, 137);
    const QColor accent(31, 111, 229);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, field);
    palette.setColor(QPalette::AlternateBase, panel);
    palette.setColor(QPalette::ToolTipBase, panel);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmed);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, panel);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Link, QColor(90, 160, 255));
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, QColor(74, 77, 82));
    palette.setColor(QPalette::Midlight, QColor(60, 62, 66));
    palette.setColor(QPalette::Mid, QColor(44, 46, 49));
    palette.setColor(QPalette::Dark, QColor(22, 23, 25));
    palette.setColor(QPalette::Shadow, QColor(10, 10, 12));
    for (const QPalette::ColorRole role :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText }) {
        palette.setColor(QPalette::Disabled, role, dimmed);
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Button, window);
    QApplication::setPalette(palette);
}
