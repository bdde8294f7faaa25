#include "home/ResultsHandOff.h"

#include "base/ReleaseElsewhere.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "home/HomeLook.h"

#include <QFrame>

#include <utility>

ResultsHandOff::ResultsHandOff(QWidget* view)
    : view_(view)
{
}

QWidget* ResultsHandOff::placeholder()
{
    if (!page_) {
        page_ = makeHomeBox("resultsPlaceholder", view_, HomeLook::screen, 0);
        auto* heading = makeHomeLabel("lblResultsPlaceholder", page_, 20, true);
        heading->setAlignment(Qt::AlignCenter);
        auto* back = new RAZButton(page_);
        back->setObjectName(homeName("btnResultsBack"));
        applyHomeButtonStyle(back);
        back->setFont(systemFontOfSize(13));
        back->setText(localizedText("ID_BACK"));
        connect(back, &QAbstractButton::clicked, this, &ResultsHandOff::backTapped);
        page_->setGeometry(view_->rect());
        heading->setGeometry(0, view_->height() / 2 - 40, view_->width(), 40);
        back->setGeometry(view_->width() / 2 - 75, view_->height() / 2 + 20, 150, 36);
    }
    return page_;
}

void ResultsHandOff::show(const ScanResultPtr& result)
{
    last_ = result;
    if (receiver_) {
        receiver_->showResults(result);
        return;
    }
    QWidget* page = placeholder();
    page->findChild<QLabel*>(homeName("lblResultsPlaceholder"))
        ->setText(QStringLiteral("%1: %2").arg(
            localizedText("ID_DUPLICATE_FILES_FOUND"), QString::number(result ? result->dupCount : 0)));
    page->show();
    page->raise();
}

void ResultsHandOff::showLast()
{
    if (last_)
        show(last_);
}

void ResultsHandOff::release()
{
    if (last_)
        releaseElsewhere(std::exchange(last_, nullptr));
    if (receiver_)
        receiver_->releaseResults();
}

void ResultsHandOff::hidePage()
{
    if (page_)
        page_->hide();
}
