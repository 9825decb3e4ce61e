#include "Extensions/UITextField+Email.h"

#include <gtest/gtest.h>

namespace {

std::optional<std::string> emailIn(const std::optional<std::string>& text) {
    UITextField field;
    field.setText(text);
    return validEmailAddress(field);
}

} // namespace

TEST(EmailAddress, TheWholeTrimmedTextWhenItIsOneAddress) {
    EXPECT_EQ(emailIn("mother@example.org"), "mother@example.org");
    EXPECT_EQ(emailIn("  \tmother@example.org \n"), "mother@example.org");
    EXPECT_EQ(emailIn("mailto:mother@example.org"), "mailto:mother@example.org");
    // Characters outside the basic plane take two units each; the search still reaches the end.
    EXPECT_EQ(emailIn("noa\U0001D4C3\U0001D4C3@example.org"), "noa\U0001D4C3\U0001D4C3@example.org");
    EXPECT_EQ(emailIn("noa.\u00e9l\u00e8ve@example.org"), "noa.\u00e9l\u00e8ve@example.org");
}

TEST(EmailAddress, NoneForWordsSeveralAddressesWebAddressesOrNothing) {
    // An address among other words would send the words as the e-mail.
    EXPECT_EQ(emailIn("write to mother@example.org please"), std::nullopt);
    EXPECT_EQ(emailIn("\U0001F476 noa@example.org"), std::nullopt);
    EXPECT_EQ(emailIn("mother@example.org, father@example.org"), std::nullopt);
    EXPECT_EQ(emailIn("www.example.org"), std::nullopt);
    EXPECT_EQ(emailIn("https://example.org/?to=mailto:mother@example.org"), std::nullopt);
    EXPECT_EQ(emailIn(""), std::nullopt);
    EXPECT_EQ(emailIn(" \n "), std::nullopt);
    EXPECT_EQ(emailIn(std::nullopt), std::nullopt);
    EXPECT_EQ(emailIn("mother@"), std::nullopt);
}
