#include "preferences/PreferencesWindowController.h"

#include "base/UserDefaults.h"
#include "controls/WindowHelpers.h"
#include "preferences/PreferencesKit.h"
#include "preferences/PreferencesTabViewController.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>
#include <QWindow>

UserInteractionPausableWindow::UserInteractionPausableWindow(QWidget* parent)
    : QMainWindow(parent)
{
}

UserInteractionPausableWindow::~UserInteractionPausableWindow()
{
    if (!isUserInteractionEnabled_)
        qApp->removeEventFilter(this);
}

void UserInteractionPausableWindow::setUserInteractionEnabled(bool enabled)
{
    if (enabled == isUserInteractionEnabled_)
        return;
    isUserInteractionEnabled_ = enabled;
    // Events reach the window's controls directly, so the filter sits on the
    // application, and only while paused.
    if (enabled)
        qApp->removeEventFilter(this);
    else
        qApp->installEventFilter(this);
}

bool UserInteractionPausableWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (!isUserInteractionEnabled_ && isUserInputEvent(event)) {
        QObject* object = watched;
        while (object && !object->isWidgetType())
            object = object->parent();
        if (object && static_cast<QWidget*>(object)->window() == this)
            return true;
        if (watched == static_cast<QObject*>(windowHandle()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

PreferencesWindowController::PreferencesWindowController(std::vector<PreferencePane*> preferences, Style style,
    bool animated, bool hidesToolbarForSingleItem, UserDefaults& defaults)
    : defaults_(defaults)
{
    if (preferences.empty())
        qFatal("The preferences window needs at least one pane");
    tabViewController_ = new PreferencesTabViewController;
    window_ = new UserInteractionPausableWindow;
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    window_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    window_->setObjectName(QStringLiteral("preferencesWindow"));
    installCloseKeys(window_);
    // The panes switch as tabs do, from wherever the focus is in the window.
    const std::pair<QKeyCombination, int> paneKeys[] = {
        { QKeyCombination(Qt::CTRL, Qt::Key_Tab), 1 },
        { QKeyCombination(Qt::CTRL, Qt::Key_PageDown), 1 },
        { QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Tab), -1 },
        { QKeyCombination(Qt::CTRL, Qt::Key_PageUp), -1 },
    };
    for (const auto& [keys, step] : paneKeys) {
        auto* shortcut = new QShortcut(QKeySequence(keys), window_);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, window_,
            [this, step = step] { tabViewController_->selectNeighbourPane(step); });
    }
    hidesToolbarForSingleItem_ = hidesToolbarForSingleItem;
    window_->setCentralWidget(tabViewController_);

    toolbar_ = new QToolBar(window_);
    toolbar_->setObjectName(QStringLiteral("PreferencesToolbar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    window_->addToolBar(Qt::TopToolBarArea, toolbar_);

    titleVisible_ = !(style == Style::segmentedControl && preferences.size() != 1);
    tabViewController_->showsTitle = titleVisible_;
    tabViewController_->isAnimated = animated;
    const QSize first = preferences.front()->sizeHint();
    tabViewController_->setPreferencePanes(std::move(preferences), style, toolbar_);
    window_->resize(first);
    updateToolbarVisibility();

    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(400);
    connect(&saveTimer_, &QTimer::timeout, this, &PreferencesWindowController::saveFrame);
    window_->installEventFilter(this);
}

PreferencesWindowController::~PreferencesWindowController()
{
    if (saveTimer_.isActive())
        saveFrame();
    // The window's last events (its hide) must not reach a controller that
    // is itself being destroyed.
    if (window_)
        window_->removeEventFilter(this);
    delete window_;
}

void PreferencesWindowController::showPreferencesWindow(const std::optional<QString>& pane)
{
    const std::vector<PreferencePane*>& panes = tabViewController_->preferencePanes();
    if (pane) {
        int index = 0;
        for (int i = 0; i < int(panes.size()); ++i) {
            if (panes[i]->preferencePaneIdentifier().rawValue == *pane) {
                index = i;
                break;
            }
        }
        tabViewController_->selectPane(index, false);
    } else if (!tabViewController_->activeTab()) {
        tabViewController_->selectPane(0, false);
    }
    window_->show();
    restoreWindowPosition();
    window_->raise();
    window_->activateWindow();
}

void PreferencesWindowController::restoreWindowPosition()
{
    if (!window_)
        return;
    // A move not saved yet is where the window was last left.
    if (saveTimer_.isActive()) {
        saveTimer_.stop();
        saveFrame();
    }
    QScreen* screen = window_->screen();
    if (!screen)
        return;
    // The place kept is that of the window's contents, which the window
    // manager's frame does not move: the frame is put round them only once
    // the window is shown, so a place of the frame would be read back before
    // its size is known, and the window would climb by its title bar.
    const QRect visible = screen->availableGeometry();
    QPoint contents(visible.center().x() - window_->width() / 2, visible.center().y() - window_->height() / 2);

    // A position off every screen (a monitor since unplugged) or of the wrong
    // form leaves the window centred.
    const std::optional<QVariantList> saved = defaults_.arrayValue(QString::fromLatin1(frameAutosaveKey));
    if (saved && saved->size() == 2) {
        const std::optional<qint64> x = Setting::toInteger(saved->at(0));
        const std::optional<qint64> y = Setting::toInteger(saved->at(1));
        if (x && y && QGuiApplication::screenAt(QPoint(int(*x), int(*y)) + QPoint(20, 20)))
            contents = QPoint(int(*x), int(*y));
    }
    // A position saved beside a smaller pane, or on a larger screen, may leave
    // the bottom of this one off the screen.
    const QPoint frame = contentsOffset(window_);
    const QPoint kept = keptOnScreen(window_, QRect(contents - frame, window_->size())).topLeft() + frame;
    window_->setGeometry(QRect(kept, window_->size()));
    autosaving_ = true;
}

void PreferencesWindowController::updateToolbarVisibility()
{
    if (!window_ || !toolbar_)
        return;
    const bool hide = hidesToolbarForSingleItem_ && tabViewController_->preferencePanes().size() <= 1;
    toolbar_->setVisible(!hide);
}

void PreferencesWindowController::setHidesToolbarForSingleItem(bool hides)
{
    hidesToolbarForSingleItem_ = hides;
    updateToolbarVisibility();
}

bool PreferencesWindowController::isAnimated() const
{
    return tabViewController_->isAnimated;
}

void PreferencesWindowController::setAnimated(bool animated)
{
    tabViewController_->isAnimated = animated;
}

bool PreferencesWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && autosaving_ && event->type() == QEvent::Move)
        saveTimer_.start();
    if (watched == window_ && event->type() == QEvent::Hide && saveTimer_.isActive()) {
        saveTimer_.stop();
        saveFrame();
    }
    return QObject::eventFilter(watched, event);
}

void PreferencesWindowController::saveFrame()
{
    if (!window_)
        return;
    const QPoint position = window_->geometry().topLeft();
    defaults_.setValue(QString::fromLatin1(frameAutosaveKey), QVariantList { position.x(), position.y() });
}
