// What the program shows of names and of its own controls, as a user reads it
// on the real windows: the start's alert names each file on one line and fits
// the screen, and the help page names the buttons by their titles.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/IMGButton.h"
#include "controls/MyCollectionView.h"
#include "core/AppStartup.h"
#include "home/MainViewController.h"
#include "marking/SelectAssistanceController.h"
#include "platform/FileRemover.h"
#include "platform/LeftFilesSweep.h"
#include "preferences/PreferencesWindowController.h"
#include "results/ResultsModel.h"
#include "support/ChildProcess.h"
#include "support/PanelChooser.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/UserClicks.h"
#include "support/WaitUntil.h"

#include "RoadHelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QScreen>
#include <QTabBar>
#include <QThreadPool>
#include <QUrl>
#include <gtest/gtest.h>

#include <set>

#include <unistd.h>

namespace {

// Leaves path set aside as a run ended in the middle of its deletion does.
void endARunWhileItDeletes(const QString& path)
{
    // The child allocates: no other thread may hold the allocator's lock
    // when it is forked.
    QThreadPool::globalInstance()->waitForDone();
    exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.removeRegularFile(remover.hold(path), []() -> std::optional<QString> { ::_exit(0); });
        return 3;
    });
}

// Whether text holds a character that must never reach the screen raw: a
// control character, a line or paragraph separator, or a format character
// (bidirectional overrides and isolates, zero-width characters).
bool holdsRaw(const QString& text)
{
    for (const char32_t u : text.toUcs4()) {
        switch (QChar::category(u)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
        }
    }
    return false;
}

// A paint device that keeps the texts drawn on it and nothing else.
class DrawnTexts : public QPaintDevice {
public:
    explicit DrawnTexts(QSize size)
        : size_(size)
    {
    }
    QPaintEngine* paintEngine() const override { return &engine_; }
    const QStringList& texts() const { return engine_.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return size_.width();
        case PdmHeight:
            return size_.height();
        case PdmWidthMM:
            return size_.width() * 254 / 960;
        case PdmHeightMM:
            return size_.height() * 254 / 960;
        case PdmNumColors:
            return 0x7fffffff;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    struct Engine : QPaintEngine {
        Engine()
            : QPaintEngine(QPaintEngine::AllFeatures)
        {
        }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override { }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { }
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override { }
        void drawPath(const QPainterPath&) override { }
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts.append(item.text()); }
        Type type() const override { return QPaintEngine::User; }
        QStringList texts;
    };
    QSize size_;
    mutable Engine engine_;
};

// Every text the shown windows offer the user, each with where it stands:
// what they draw, their titles, every widget's text and tool tip, tab texts,
// and every row's text and tool tip in every view's model (rows scrolled out
// of sight included), so that a surface added later is read too.
QStringList rawTextsShown()
{
    QStringList found;
    const auto check = [&found](const QString& text, const QString& where) {
        if (holdsRaw(text))
            found.append(where + QStringLiteral(": ") + printablePath(text));
    };
    std::set<const QAbstractItemModel*> models;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || top->inherits("QTipLabel"))
            continue;
        const QString window = top->metaObject()->className() + QStringLiteral(" ") + top->objectName();
        check(top->windowTitle(), window + QStringLiteral(" title"));
        DrawnTexts canvas(top->size());
        top->render(&canvas);
        for (const QString& text : canvas.texts())
            check(text, window + QStringLiteral(" drawn"));
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets.prepend(top);
        for (QWidget* widget : widgets) {
            if (!widget->isVisible())
                continue;
            const QString where = window + QStringLiteral(" ") + widget->metaObject()->className() + QStringLiteral(" ")
                + widget->objectName();
            check(widget->toolTip(), where + QStringLiteral(" tip"));
            if (auto* label = qobject_cast<QLabel*>(widget))
                check(label->text(), where);
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                check(button->text(), where);
            if (auto* line = qobject_cast<QLineEdit*>(widget))
                check(line->text(), where);
            if (auto* box = qobject_cast<QGroupBox*>(widget))
                check(box->title(), where);
            if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
                for (int i = 0; i < tabs->count(); ++i) {
                    check(tabs->tabText(i), where + QStringLiteral(" tab"));
                    check(tabs->tabToolTip(i), where + QStringLiteral(" tab tip"));
                }
            }
            if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                for (int i = 0; i < combo->count(); ++i)
                    check(combo->itemText(i), where + QStringLiteral(" item"));
            }
            if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model())
                models.insert(view->model());
            if (auto* grid = qobject_cast<MyCollectionView*>(widget); grid && grid->model())
                models.insert(grid->model());
        }
    }
    std::vector<int> roles { Qt::DisplayRole, Qt::ToolTipRole };
    for (int outlet = 0; outlet < CustomCell::outletCount; ++outlet)
        roles.push_back(CustomCell::roleOf(CustomCell::Outlet(outlet)));
    for (const QAbstractItemModel* model : models) {
        const QString where = model->metaObject()->className();
        for (int section = 0; section < model->columnCount(); ++section)
            check(model->headerData(section, Qt::Horizontal).toString(), where + QStringLiteral(" header"));
        std::vector<QModelIndex> parents { QModelIndex() };
        while (!parents.empty()) {
            const QModelIndex parent = parents.back();
            parents.pop_back();
            for (int row = 0; row < model->rowCount(parent); ++row) {
                for (int column = 0; column < model->columnCount(parent); ++column) {
                    const QModelIndex index = model->index(row, column, parent);
                    for (const int role : roles) {
                        const QVariant value = index.data(role);
                        if (value.typeId() == QMetaType::QString)
                            check(value.toString(), where + QStringLiteral(" role %1").arg(role));
                    }
                }
                if (model->hasChildren(model->index(row, 0, parent)))
                    parents.push_back(model->index(row, 0, parent));
            }
        }
    }
    return found;
}

void expectNothingRaw(const std::string& where)
{
    const QStringList raw = rawTextsShown();
    EXPECT_TRUE(raw.isEmpty()) << where << ":\n" << raw.join(QLatin1Char('\n')).toStdString();
}

struct OneFolder : ProtectFolderChooser {
    QString next;
    void chooseFolder(const QString&, std::function<void(const QString&)> done) override { done(next); }
};

} // namespace

// A scan of names holding line breaks, tabs, a right-to-left override,
// isolates, zero-width characters and markup, in folders named so too, and
// such folders excluded and protected: every screen on the way (the home
// screen, the list, the group view opened up, the grid, the preview window,
// every tab of the selection assistant, Preferences' excluded folders) shows
// them escaped, whatever it draws, titles or tips them with.
TEST(ShownNames, EveryScreenAfterAScanOfHostileNamesShowsThemEscaped)
{
    TempHome home;
    const QString pictures = home.path() + QStringLiteral("/Pics\n\u202eevil\u2066");
    const QString plain = home.path() + QStringLiteral("/Plain\t\u200b");
    const QStringList names { QStringLiteral("line\nbreak.txt"), QStringLiteral("tab\there.txt"),
        QStringLiteral("evil\u202egpj.exe"), QStringLiteral("iso\u2066l\u2067a\u2068t\u2069e.txt"),
        QStringLiteral("zero\u200bwidth\u200d\ufeff.txt"), QStringLiteral("<b>bold<img src=q>\u200f.ex\u202et") };
    ASSERT_TRUE(QDir().mkpath(pictures) && QDir().mkpath(plain));
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray bytes = QByteArray("copy ") + QByteArray::number(i) + QByteArray(400, 'x');
        writeTestFile(pictures + QLatin1Char('/') + names[i], bytes);
        writeTestFile(plain + QLatin1Char('/') + names[i], bytes);
    }
    const QString excluded = home.path() + QStringLiteral("/Ex\ncluded\u202e");
    const QString kept = home.path() + QStringLiteral("/Keep\nme\u2069");
    ASSERT_TRUE(QDir().mkpath(excluded) && QDir().mkpath(kept));

    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    startApplicationCore(defaults);
    AppComposition program(defaults);
    ASSERT_TRUE(launchShown(program));
    MainViewController& homeScreen = program.home();
    auto* panel = new PanelChooser;
    homeScreen.setFolderChooser(std::unique_ptr<FolderChooser>(panel));
    const auto addOnTab = [&](const char* tab, const QStringList& folders) {
        click(homeScreen.findChild<QAbstractButton*>(QString::fromLatin1(tab)));
        panel->next = folders;
        click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
        QCoreApplication::processEvents();
    };
    addOnTab("btnExclude", { excluded });
    addOnTab("btnProtected", { kept });
    addOnTab("btnInclue", { pictures, plain });
    ASSERT_EQ(homeScreen.lists().sources.scanList(ScanSource::thisComputer).size(), 2u);
    expectNothingRaw("home screen");

    click(homeScreen.scanNowButton());
    ResultViewController& results = program.results();
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    ASSERT_EQ(results.model().groupCount(), names.size());
    CustomTableView* list = results.tblDuplicates();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
        list->visualRect(list->model()->index(0, ResultsModel::nameColumn)).center());
    expectNothingRaw("list");

    click(results.findChild<QAbstractButton*>(QStringLiteral("btnHierarcheryView")));
    results.outlineDuplicates()->expandAll();
    QCoreApplication::processEvents();
    expectNothingRaw("group view");
    shot(results.window(), QStringLiteral("hostile-names-group-view"));

    click(results.findChild<QAbstractButton*>(QStringLiteral("btnThumbnailView")));
    QCoreApplication::processEvents();
    expectNothingRaw("grid");

    // The preview window, from the list's menu.
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnListView")));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {},
        list->visualRect(list->model()->index(0, ResultsModel::nameColumn)).center());
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QAction* quickLook = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == localizedText("ID_QUICK_LOOK"))
            quickLook = action;
    }
    ASSERT_TRUE(quickLook);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(quickLook).center());
    QWidget* preview = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && top->windowTitle().startsWith(localizedText("ID_QUICK_LOOK")))
                preview = top;
        }
        return preview != nullptr;
    }));
    expectNothingRaw("preview window");
    preview->close();

    // Every tab of the assistant, a folder chosen by Browse and added.
    SelectAssistanceController& assistant = results.selectionController();
    auto* chooser = new OneFolder;
    assistant.setFolderChooser(std::unique_ptr<ProtectFolderChooser>(chooser));
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnSelectionAssitance")));
    ASSERT_TRUE(waitUntil([&] { return assistant.isOpen(); }));
    for (QAbstractButton* tab : std::initializer_list<QAbstractButton*> { assistant.btnGeneralTab,
             assistant.btnFileFormatTab, assistant.btnFoldersTab, assistant.btnProtectedFolderTab }) {
        click(tab);
        expectNothingRaw(tab->objectName().toStdString());
    }
    chooser->next = pictures;
    click(assistant.btnBrowsePath);
    expectNothingRaw("a folder browsed");
    click(assistant.btnAddPath);
    expectNothingRaw("a folder added");
    shot(results.window(), QStringLiteral("hostile-names-assistant-protected"));
    click(assistant.btnCancel);

    // Preferences' excluded folders.
    program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("excludedfolders"));
    ASSERT_TRUE(waitUntil([] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* table = top->findChild<QWidget*>(QStringLiteral("tvExclude")); table && table->isVisible())
                return true;
        }
        return false;
    }));
    expectNothingRaw("excluded folders");
}

// Files put back at the start whose names hold line breaks (one forging a
// line of the alert, two hundred folders of one line break each) and a
// right-to-left override: each is one line of the alert, escaped as the log
// writes it, and the alert and its OK stay on the screen.
TEST(ShownNames, TheStartAlertNamesEachFileOnOneLineAndStaysOnTheScreen)
{
    TempHome home;
    QString deep = home.path() + QStringLiteral("/data");
    for (int i = 0; i < 200; ++i)
        deep += QStringLiteral("/\n");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QStringList paths { home.path() + QStringLiteral("/data/a.jpg\nPut back where it was: forged.jpg"),
        home.path() + QStringLiteral("/data/photo-\u202egpj.exe"), deep + QStringLiteral("/deep.jpg") };
    for (const QString& path : paths) {
        writeTestFile(path, "only copy");
        endARunWhileItDeletes(path);
        ASSERT_FALSE(QFile::exists(path));
    }

    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    program.launch();
    ASSERT_TRUE(waitUntil([] { return leftFilesSweepsUnderWay() == 0; }, 20000));
    QMessageBox* told = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        told = program.delegate().window()->findChild<QMessageBox*>();
        return told && told->isVisible();
    }));
    for (const QString& path : paths)
        EXPECT_TRUE(QFile::exists(path));

    const QStringList lines = told->informativeText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), 3) << told->informativeText().toStdString();
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(QStringLiteral("Put back where it was: ") + home.path())) << line.toStdString();
    EXPECT_TRUE(told->informativeText().contains(QStringLiteral("/a.jpg\\nPut back where it was: forged.jpg")));
    EXPECT_TRUE(told->informativeText().contains(QStringLiteral("/photo-\\u202egpj.exe")));
    EXPECT_FALSE(told->informativeText().contains(QChar(0x202e)));
    EXPECT_TRUE(told->informativeText().contains(QStringLiteral("/deep.jpg")));

    const QRect screen = told->screen()->availableGeometry();
    QCoreApplication::processEvents();
    EXPECT_LE(told->frameGeometry().height(), screen.height());
    EXPECT_TRUE(screen.contains(told->frameGeometry()))
        << told->frameGeometry().top() << " " << told->frameGeometry().bottom();
    ASSERT_EQ(told->buttons().size(), 1);
    QAbstractButton* ok = told->buttons().constFirst();
    EXPECT_TRUE(ok->isVisible());
    EXPECT_TRUE(screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
    shot(told, QStringLiteral("start-alert-hostile-names"));
    told->accept();
}

// The help page tells the user to press the scan button by the title the
// button carries.
TEST(ShownNames, TheHelpPageNamesTheScanButtonByItsTitle)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    program.launch();
    QUrl opened;
    program.delegate().openUrl = [&opened](const QUrl& url) {
        opened = url;
        return true;
    };
    program.delegate().menuHelpApp->trigger();
    ASSERT_TRUE(opened.isLocalFile());
    QFile page(opened.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    const QString title = program.home().scanNowButton()->text();
    ASSERT_FALSE(title.isEmpty());
    EXPECT_TRUE(text.contains(QStringLiteral("press ") + title)) << title.toStdString();
}
