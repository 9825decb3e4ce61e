// What counts as an id in a remote notification's payload.

#include "App/Notifications/RemoteNotificationPayload.h"

#include <gtest/gtest.h>

namespace Payload = RemoteNotificationPayload;

TEST(RemoteNotificationPayload, IntegersAreWholeNumbersOnlyAndDecimalTextIsASignAndDigitsOnly) {
    using J = nlohmann::json;
    const auto integer = [](J value) { return Payload::integer(J{{"id", std::move(value)}}, "id"); };
    EXPECT_EQ(integer(7), 7);
    EXPECT_EQ(integer(7.0), 7);
    EXPECT_EQ(integer(-3), -3);
    EXPECT_EQ(integer(J::parse("9223372036854775807")), INT64_MAX);
    for (const J& no : {J(7.5), J(true), J(1e30), J::parse("18446744073709551615"), J("7"), J(nullptr), J::array({7})})
        EXPECT_FALSE(integer(no)) << no.dump();
    EXPECT_FALSE(Payload::integer(J::array({7}), "id")) << "a payload that is no dictionary has no keys";
    EXPECT_FALSE(Payload::integer(J("id"), "id"));
    EXPECT_FALSE(Payload::integer(J::object(), "id"));

    EXPECT_EQ(Payload::integerFromDecimalText("12"), 12);
    EXPECT_EQ(Payload::integerFromDecimalText("+12"), 12);
    EXPECT_EQ(Payload::integerFromDecimalText("-12"), -12);
    EXPECT_EQ(Payload::integerFromDecimalText("007"), 7);
    EXPECT_EQ(Payload::integerFromDecimalText("-0"), 0);
    EXPECT_EQ(Payload::integerFromDecimalText("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(Payload::integerFromDecimalText("-9223372036854775808"), INT64_MIN);
    for (const char* no : {"", "+", "-", " 12", "12 ", "1 2", "12.0", "1e3", "0x1F", "--1", "+-1",
                           "9223372036854775808", "-9223372036854775809", "99999999999999999999", "\xD9\xA1"})
        EXPECT_FALSE(Payload::integerFromDecimalText(no)) << '"' << no << '"';
    EXPECT_EQ(Payload::decimalText(J{{"id", "+29"}}, "id"), 29);
    EXPECT_FALSE(Payload::decimalText(J{{"id", 29}}, "id")) << "a number is no text";
}
