#pragma once

#include "core/Localization.h"

#include <gtest/gtest.h>

// Tests that build labels from the language tables read the compiled-in
// English one, whatever the machine's language.
struct EnglishTexts : ::testing::Test {
    void SetUp() override
    {
        LocalizationDetail::resetLocalizationTable();
        LocalizationDetail::loadLocalizationTableFrom({ QStringLiteral("en") }, LocalizationDetail::resourceFolder);
    }
    void TearDown() override { LocalizationDetail::resetLocalizationTable(); }
};
