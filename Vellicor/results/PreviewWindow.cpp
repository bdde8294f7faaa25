#include "results/PreviewWindow.h"

#include "controls/WindowHelpers.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "results/PreviewLoader.h"
#include "results/PreviewPane.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const QSize windowSize(720, 540);
const QSize iconSize(200, 200);

} // namespace

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("previewWindow"));
    setWindowModality(Qt::NonModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
    installCloseKeys(this);
    resize(windowSize);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(29, 29, 29));
    setPalette(palette);
    setAutoFillBackground(true);

    stack_ = new QStackedWidget(this);
    imageView_ = new PreviewImageView(stack_);
    imageView_->setObjectName(QStringLiteral("previewImage"));
    textView_ = new QPlainTextEdit(stack_);
    textView_->setObjectName(QStringLiteral("previewText"));
    textView_->setReadOnly(true);
    textView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    stack_->addWidget(imageView_);
    stack_->addWidget(textView_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(stack_);

    loader_ = new PreviewLoader(this);
    connect(loader_, &PreviewLoader::loaded, this, &PreviewWindow::contentLoaded);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::showPreviewForNode(const FileInfoNodePtr& file, ScanSource source)
{
    if (!file || !file->filePath || file->filePath->isEmpty())
        return;
    const QString path = *file->filePath;
    arrUrlPreview_.clear();
    arrUrlPreview_.append(QUrl::fromLocalFile(path));
    setWindowTitle(localizedText("ID_QUICK_LOOK") + QStringLiteral(" – ") + printablePath(QFileInfo(path).fileName()));
    loader_->cancel();
    imageView_->clear();
    textView_->clear();
    stack_->setCurrentWidget(imageView_);
    face_ = Face::nothing;
    if (source == ScanSource::thisComputer) {
        loader_->request(path, imageView_->size().expandedTo(windowSize) * devicePixelRatioF(), true);
    } else {
        imageView_->setIcon(typeIconForPath(path), iconSize);
        face_ = Face::icon;
    }
    if (!isVisible())
        placeOnScreen();
    show();
    raise();
    activateWindow();
}

void PreviewWindow::placeOnScreen()
{
    // Over the window that opened it, wholly on that window's screen: a
    // smaller screen gets a smaller window, and an edge never runs off it.
    const QWidget* opener = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = opener ? opener->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize decoration = windowDecoration(this);
    resize(windowSize.boundedTo(available.size() - decoration));
    QRect frame(QPoint(), size() + decoration);
    frame.moveCenter(opener ? opener->frameGeometry().center() : available.center());
    move(frameKeptWithin(frame, available).topLeft());
}

std::optional<QUrl> PreviewWindow::previewItemAtIndex(int) const
{
    if (arrUrlPreview_.isEmpty())
        return std::nullopt;
    return arrUrlPreview_.last();
}

void PreviewWindow::contentLoaded(const QString& path, const PreviewContent& content)
{
    if (arrUrlPreview_.isEmpty() || arrUrlPreview_.last().toLocalFile() != path)
        return;
    if (!content.picture.isNull()) {
        QImage picture = content.picture;
        picture.setDevicePixelRatio(devicePixelRatioF());
        imageView_->setImage(picture);
        face_ = Face::picture;
    } else if (content.text) {
        textView_->setPlainText(*content.text);
        stack_->setCurrentWidget(textView_);
        face_ = Face::text;
    } else {
        imageView_->setIcon(typeIcon(content), iconSize);
        face_ = Face::icon;
    }
}
