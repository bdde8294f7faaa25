#include "app/WindowAlertPresenter.h"
#include "core/Localization.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Asks the question, then dismisses its box without pressing a button.
int dismissed(const QStringList& buttons, bool closeWindow)
{
    WindowAlertPresenter presenter(nullptr);
    int answer = -2;
    presenter.presentThen(AlertRequest { QStringLiteral("Remove?"), QString(), buttons }, [&](int a) { answer = a; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
        return -3;
    QTest::keyClick(box, Qt::Key_Escape);
    if (closeWindow && answer == -2)
        box->done(0);
    QCoreApplication::processEvents();
    return answer;
}

} // namespace

TEST(WindowAlertPresenter, DismissingAQuestionNeverAnswersTheButtonThatActs)
{
    const QString yes = localizedText(QStringLiteral("ID_YES"));
    const QString no = localizedText(QStringLiteral("ID_NO"));
    const QString cancel = localizedText(QStringLiteral("ID_CANCEL"));
    // Escape answers the declining button wherever it stands.
    EXPECT_EQ(dismissed({ yes, no }, false), 1);
    EXPECT_EQ(dismissed({ no, yes }, false), 0);
    EXPECT_EQ(dismissed({ QStringLiteral("Remove"), cancel }, false), 1);
    // Without one, Escape does nothing and a closed box answers no button.
    EXPECT_EQ(dismissed({ QStringLiteral("Remove"), QStringLiteral("Keep") }, true), -1);
}
