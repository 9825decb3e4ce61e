#pragma once

#include "foundation/json/JSON.h"

#include <gtest/gtest.h>

#include <string_view>

// A JSON value from a literal reply; fragments are allowed so that scalars can stand as replies.
inline JSON reply(std::string_view text) {
    auto result = JSON::parse(text, {.allowFragments = true});
    EXPECT_TRUE(result.ok()) << text;
    return result.value();
}
