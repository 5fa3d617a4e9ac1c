#include "field_text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace qor::console;

TEST(FieldText, FirstWordTakesTheWordAfterLeadingBlanks) {
    EXPECT_EQ(firstWord("  555 1234"), "555");
    EXPECT_EQ(firstWord("John Smith   "), "John");
    EXPECT_EQ(firstWord("a@b.c"), "a@b.c");
    EXPECT_EQ(firstWord("   x"), "x");
    EXPECT_EQ(firstWord(""), "");
    EXPECT_EQ(firstWord("          "), "");
}

TEST(FieldText, BlankToUnderscoreKeepsInnerAndLeadingBlanksAsUnderscores) {
    EXPECT_EQ(blankToUnderscore(" a b  c   "), "_a_b__c");
    EXPECT_EQ(blankToUnderscore("plain"), "plain");
    EXPECT_EQ(blankToUnderscore("       "), "");
    EXPECT_EQ(blankToUnderscore(""), "");
}

TEST(FieldText, LeadingNumberReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(leadingNumber("10 "), 10);
    EXPECT_EQ(leadingNumber("  7"), 7);
    EXPECT_EQ(leadingNumber("12ab"), 12);
    EXPECT_EQ(leadingNumber("-5"), -5);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("   "), 0);
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("-"), 0);
    EXPECT_EQ(leadingNumber("999999999999999"), INT32_MAX);
    EXPECT_EQ(leadingNumber("-999999999999999"), INT32_MIN);
    EXPECT_EQ(leadingNumber("-2147483648"), INT32_MIN);
}

TEST(FieldText, EntryInputKeepsAStoredTextThatWasOnlyCutForDisplay) {
    std::string longAddr = "firstname.lastname@department.example.com";  // 41 > 33
    std::string shown = longAddr.substr(0, 33);
    EXPECT_EQ(entryInput(shown, longAddr, 33), longAddr);
    // A changed entry is taken as typed, even when it is a prefix edit.
    EXPECT_EQ(entryInput("someone@else.org", longAddr, 33), "someone@else.org");
    EXPECT_EQ(entryInput(shown.substr(0, 20), longAddr, 33), shown.substr(0, 20));
    // A stored text that fits is never substituted.
    EXPECT_EQ(entryInput("new     ", "old", 8), "new     ");
    EXPECT_EQ(entryInput("", "old", 8), "");
}

TEST(FieldText, CheckTexts) {
    EXPECT_TRUE(isChecked(checkText(true)));
    EXPECT_FALSE(isChecked(checkText(false)));
    EXPECT_FALSE(isChecked("X"));
}
