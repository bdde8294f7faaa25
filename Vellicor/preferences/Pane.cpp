#include "preferences/Pane.h"

#include <QVBoxLayout>

Pane::Pane(PaneIdentifier identifier, QString title, QIcon toolbarIcon, const std::function<QWidget*()>& makeContent)
    : identifier_(std::move(identifier))
    , title_(std::move(title))
    , toolbarIcon_(std::move(toolbarIcon))
    , content_(makeContent ? makeContent() : nullptr)
{
    if (!content_)
        content_ = std::make_unique<QWidget>();
}

Pane::Pane(Pane&&) noexcept = default;
Pane& Pane::operator=(Pane&&) noexcept = default;
Pane::~Pane() = default;

std::unique_ptr<PreferencePane> Pane::asPreferencePane() &&
{
    return std::make_unique<PaneHostingController>(std::move(*this));
}

PaneHostingController::PaneHostingController(
    PaneIdentifier identifier, QString title, QIcon toolbarIcon, QWidget* content, QWidget* parent)
    : PreferencePane(parent)
    , identifier_(std::move(identifier))
    , title_(std::move(title))
    , toolbarIcon_(std::move(toolbarIcon))
    , content_(content ? content : new QWidget)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content_);
}

PaneHostingController::PaneHostingController(Pane pane, QWidget* parent)
    : PaneHostingController(std::move(pane.identifier_), std::move(pane.title_), std::move(pane.toolbarIcon_),
        pane.content_.release(), parent)
{
}
