#include "app/AppServices.h"

#include "core/Localization.h"
#include "home/MainViewController.h"

#include <QPalette>
#include <QPointer>
#include <QWidget>

namespace {

class PlaceholderHomeScreen : public HomeScreen {
public:
    ~PlaceholderHomeScreen() override { delete view_; }

    QWidget* view() override
    {
        if (!view_) {
            view_ = new QWidget;
            view_->setObjectName(QStringLiteral("homeView"));
            view_->setAutoFillBackground(true);
            QPalette palette = view_->palette();
            palette.setColor(QPalette::Window, QColor(29, 29, 29));
            view_->setPalette(palette);
        }
        return view_;
    }
    ScanEngine* scanEngine() override { return nullptr; }

private:
    // Owned by the main window once placed there.
    QPointer<QWidget> view_;
};

class HomeScreenView : public HomeScreen {
public:
    explicit HomeScreenView(MainViewController* controller)
        : controller_(controller)
    {
    }
    ~HomeScreenView() override
    {
        if (controller_ && !controller_->parent())
            delete controller_;
    }

    QWidget* view() override
    {
        if (controller_ && !loaded_) {
            loaded_ = true;
            controller_->viewDidLoad();
        }
        return controller_;
    }
    ScanEngine* scanEngine() override { return controller_ ? &controller_->engine() : nullptr; }

private:
    QPointer<MainViewController> controller_;
    bool loaded_ = false;
};

class PlaceholderPreferencesWindow : public PreferencesWindow {
public:
    PlaceholderPreferencesWindow()
    {
        window_.setWindowTitle(localizedText(QStringLiteral("ID_PREFRENCESS")));
        window_.resize(600, 400);
    }

    void showPreferencesWindow(const std::optional<QString>&) override
    {
        window_.show();
        window_.raise();
        window_.activateWindow();
    }

private:
    QWidget window_;
};

class IdleCloudSessions : public CloudSessions {
public:
    bool resumeGoogleSignIn(const QUrl&) override { return false; }
    void signOutAtQuit() override { }
};

} // namespace

std::unique_ptr<HomeScreen> makePlaceholderHomeScreen()
{
    return std::make_unique<PlaceholderHomeScreen>();
}

std::unique_ptr<HomeScreen> makeHomeScreen(MainViewController* controller)
{
    return std::make_unique<HomeScreenView>(controller);
}

std::unique_ptr<PreferencesWindow> makePlaceholderPreferencesWindow()
{
    return std::make_unique<PlaceholderPreferencesWindow>();
}

std::shared_ptr<CloudSessions> makeIdleCloudSessions()
{
    return std::make_shared<IdleCloudSessions>();
}
