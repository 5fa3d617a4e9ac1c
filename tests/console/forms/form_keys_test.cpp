#include "form_keys.h"

#include <gtest/gtest.h>

#include "form_placement.h"

using namespace qor::console;

TEST(FormKeys, ButtonsAreToldApartByTheirWords) {
    EXPECT_EQ(enterAction("[   OK   ]", true, "Cancel"), EnterAction::Save);
    EXPECT_EQ(enterAction("[ Cancel ]", true, "Cancel"), EnterAction::Cancel);
    EXPECT_EQ(enterAction("[ MORE ]", true, "Cancel"), EnterAction::SubForm);
    EXPECT_EQ(enterAction("[    Dialup Setup    ]", true, "Cancel"), EnterAction::SubForm);
    EXPECT_EQ(enterAction("[ clear ]", true, "Cancel"), EnterAction::Clear);
    EXPECT_EQ(enterAction("[ Prev ]", true, "Cancel"), EnterAction::NextField);
    // The Message Setting form's button reads "Cancle"; "Cancel" does not end it.
    EXPECT_EQ(enterAction("[ Cancle ]", true, "Cancle"), EnterAction::Cancel);
    EXPECT_EQ(enterAction("[ Cancle ]", true, "Cancel"), EnterAction::NextField);
}

TEST(FormKeys, TypedTextNeverActsLikeAButton) {
    EXPECT_EQ(enterAction("OKONKWO            ", false, "Cancel"), EnterAction::NextField);
    EXPECT_EQ(enterAction("Cancel", false, "Cancel"), EnterAction::NextField);
    EXPECT_EQ(enterAction("MORE", false, "Cancel"), EnterAction::NextField);
}

TEST(FormPlacement, CentresByTheFormsOwnNumbersAndNeverGoesNegative) {
    FormPlace ups = placeForm(25, 80, 15, 53);
    EXPECT_EQ(ups.line, 5);
    EXPECT_EQ(ups.column, 13);
    FormPlace dial = placeForm(40, 100, 25, 75);
    EXPECT_EQ(dial.line, 7);
    EXPECT_EQ(dial.column, 12);
    // One line short: (24-25)/2 truncates to 0 anyway.
    EXPECT_EQ(placeForm(24, 80, 25, 75).line, 0);
    FormPlace tiny = placeForm(10, 30, 25, 75);
    EXPECT_EQ(tiny.line, 0);
    EXPECT_EQ(tiny.column, 0);
}
