#include "Extensions/UIDevice+ModelName.h"

#include <gtest/gtest.h>

namespace {

std::string nameFor(const std::string& machine) {
    UIDevice::overrideUnameMachine(machine);
    std::string name = modelName(UIDevice::current());
    UIDevice::overrideUnameMachine(std::nullopt);
    return name;
}

TEST(ModelName, KnownIdentifiersGiveReadableNames) {
    EXPECT_EQ(nameFor("iPhone8,2"), "iPhone 6s Plus");
    EXPECT_EQ(nameFor("iPhone8,1"), "iPhone 6s");
    EXPECT_EQ(nameFor("iPhone7,2"), "iPhone 6"); // the numbering runs the other way from the 6s pair
    EXPECT_EQ(nameFor("iPhone7,1"), "iPhone 6 Plus");
    EXPECT_EQ(nameFor("iPad5,1"), "iPad Mini 4");
    EXPECT_EQ(nameFor("iPad5,3"), "iPad Air 2");
    EXPECT_EQ(nameFor("iPod7,1"), "iPod Touch 6");
    EXPECT_EQ(nameFor("AppleTV5,3"), "Apple TV");
    EXPECT_EQ(nameFor("x86_64"), "Simulator");
    EXPECT_EQ(nameFor("i386"), "Simulator");
}

TEST(ModelName, OtherIdentifiersComeBackUnchanged) {
    EXPECT_EQ(nameFor("iPhone10,3"), "iPhone10,3");
    EXPECT_EQ(nameFor("iphone8,1"), "iphone8,1"); // matching is exact, case included
    EXPECT_EQ(nameFor("aarch64"), "aarch64");
    EXPECT_EQ(nameFor(""), "");
    // Zero bytes inside the field are skipped; bytes outside ASCII do not leak into the text.
    EXPECT_EQ(nameFor(std::string("x86\0_64", 7)), "Simulator");
    EXPECT_EQ(nameFor("iPad\xff"), "iPad?");
    EXPECT_EQ(modelNameForIdentifier("iPad6,8"), "iPad Pro");
}

TEST(ModelName, ReadsTheHostWhenNothingIsInjected) {
    UIDevice::overrideUnameMachine(std::nullopt);
    const std::string name = modelName(UIDevice::current());
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name, modelNameForIdentifier(UIDevice::current().unameMachineField().c_str()));
}

} // namespace
