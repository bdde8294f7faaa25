#include "base/AlertPresenter.h"

#include <gtest/gtest.h>

TEST(AlertPresenter, StandardPresenterWritesTheAlertAndAnswersTheFirstButton)
{
    testing::internal::CaptureStderr();
    const int answer = alertPresenter()->present(
        { QStringLiteral("Message"), QStringLiteral("Details"), { QStringLiteral("OK"), QStringLiteral("Cancel") } });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Message\nDetails\n[OK]\n");
    EXPECT_EQ(answer, 0);
}
