#include "cloud/CloudSignInSheet.h"

#include "controls/IMGButton.h"
#include "controls/NamedImage.h"
#include "controls/RAZButton.h"
#include "support/ScopedLanguageTable.h"

#include <QLabel>
#include <QSet>
#include <QWidget>

#include <gtest/gtest.h>

TEST(CloudSignInSheet, TakesTheLanguageOfItsShowingNotOfItsMaking)
{
    QWidget view;
    view.resize(800, 600);
    // Made while the screens are still in English.
    CloudSignInSheet sheet(&view);
    const QRect englishAllow = sheet.btnAllowPermission->geometry();
    EXPECT_EQ(englishAllow.width(), 150);

    const ScopedLanguageTable german(QStringLiteral("de"),
        { { "ID_ALLOW_PERMISSION", "Zugriff jetzt erlauben" }, { "ID_GOOGLE_DRIVE", "Google Drive" },
            { "ID_DROPBOX", "Dropbox" },
            { "ID_HERE_ARE_STEPS_TO_AUTH_Vlx_TO_SCAN_GOOGLE_DRIVE", "So erlauben Sie den Zugriff auf Google Drive" } });
    ASSERT_EQ(currentLanguageCode, QStringLiteral("de"));
    // Shown twice, for two services: the wider button is widened once.
    for (ScanSource source : { ScanSource::googleDrive, ScanSource::dropbox }) {
        sheet.showInstructions(source);
        const QRect allow = sheet.btnAllowPermission->geometry();
        EXPECT_EQ(allow.width(), 170);
        EXPECT_EQ(allow.right(), englishAllow.right());
        EXPECT_EQ(sheet.btnAllowPermission->fontSizeForButton(), 11);
        EXPECT_EQ(sheet.lblGoogleDiveInstructionSubHeading->font().pixelSize(), 11);
        EXPECT_EQ(sheet.lblGoogleDiveInstructionSubHeading->font().weight(), QFont::DemiBold);
        // Cancel stays clear of the wider button.
        EXPECT_LT(sheet.btnCancelInstruction->geometry().right(), allow.left());
    }
    EXPECT_TRUE(sheet.lblGoogleDiveInstructionSubHeading->text().contains(QStringLiteral("Dropbox")));
}

TEST(CloudSignInSheet, AllowPermissionShowsTheMarkOfTheServiceSignedInTo)
{
    QWidget view;
    CloudSignInSheet sheet(&view);
    QSet<QString> marks;
    for (ScanSource source : { ScanSource::googleDrive, ScanSource::dropbox, ScanSource::oneDrive, ScanSource::box }) {
        sheet.showInstructions(source);
        const QString mark = sheet.btnAllowPermission->imageName();
        EXPECT_FALSE(NamedImage::load(mark).isNull()) << mark.toStdString();
        marks.insert(mark);
    }
    EXPECT_EQ(marks.size(), 4);
}
