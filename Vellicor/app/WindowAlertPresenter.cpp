#include "app/WindowAlertPresenter.h"

#include "controls/DialogLook.h"
#include "core/Localization.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <memory>

namespace {

// The button that says no: the only one, or the one titled No or Cancel.
int decliningButton(const QStringList& titles)
{
    if (titles.size() <= 1)
        return 0;
    const QStringList declining { localizedText(QStringLiteral("ID_NO")), localizedText(QStringLiteral("ID_CANCEL")) };
    for (qsizetype i = 0; i < titles.size(); ++i) {
        if (declining.contains(titles[i]))
            return static_cast<int>(i);
    }
    return -1;
}

// The box and its buttons, in order; the index of the clicked one is the answer.
// The box belongs to the window the request names, else to window.
std::pair<QMessageBox*, std::shared_ptr<std::vector<QAbstractButton*>>> makeBox(
    const AlertRequest& request, QWidget* window)
{
    if (const auto* over = qobject_cast<const QWidget*>(request.over.data()))
        window = over->window();
    auto* box = new QMessageBox(window);
    box->setWindowTitle(request.windowTitle.isEmpty() ? QStringLiteral("Vellicor") : request.windowTitle);
    box->setText(request.messageText);
    box->setInformativeText(request.informativeText);
    applyAlertLook(box, request.style);
    box->setAttribute(Qt::WA_DeleteOnClose);
    auto buttons = std::make_shared<std::vector<QAbstractButton*>>();
    const QStringList titles = request.buttons.isEmpty() ? QStringList { QStringLiteral("OK") } : request.buttons;
    for (const QString& title : titles)
        buttons->push_back(box->addButton(title, QMessageBox::ActionRole));
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons->front()));
    // Escape, and closing the box, answer the button that declines; a
    // question without one has to be answered with a button.
    const int declining = decliningButton(titles);
    if (declining >= 0)
        box->setEscapeButton((*buttons)[std::size_t(declining)]);
    return { box, buttons };
}

// The answer for the button clicked; a box closed without one answers its
// declining button, or -1 when it has none.
int indexOf(const std::vector<QAbstractButton*>& buttons, QAbstractButton* clicked, const QStringList& titles)
{
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] == clicked)
            return static_cast<int>(i);
    }
    return decliningButton(titles);
}

} // namespace

WindowAlertPresenter::WindowAlertPresenter(QWidget* window)
    : window_(window)
{
}

void WindowAlertPresenter::presentThen(const AlertRequest& request, std::function<void(int)> answer)
{
    auto [box, buttons] = makeBox(request, window_);
    box->setWindowModality(box->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    if (request.withdrawal)
        request.withdrawal->setCloser([guard = QPointer<QMessageBox>(box)] {
            if (guard)
                guard->reject();
        });
    QObject::connect(box, &QMessageBox::finished, box,
        [box = box, buttons = buttons, titles = request.buttons, answer = std::move(answer)](int) {
            if (answer)
                answer(indexOf(*buttons, box->clickedButton(), titles));
        });
    box->open();
}

int WindowAlertPresenter::present(const AlertRequest& request)
{
    if (request.buttons.size() <= 1) {
        presentThen(request, {});
        return 0;
    }
    auto [box, buttons] = makeBox(request, window_);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    const std::unique_ptr<QMessageBox> owner(box);
    box->exec();
    return indexOf(*buttons, box->clickedButton(), request.buttons);
}
