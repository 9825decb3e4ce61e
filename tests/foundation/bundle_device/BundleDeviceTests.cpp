#include "foundation/bundle/Bundle.h"
#include "foundation/device/UIDevice.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/utsname.h>

namespace fs = std::filesystem;

namespace {

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(directory / "Resources" / "pages");
        std::ofstream(directory / "Resources" / "pages" / "terms.html") << "<p>terms</p>";
        std::ofstream(directory / "Resources" / "logo.png") << "png";
    }
    void writeInfo(const std::string& text) {
        std::ofstream(directory / "Info.json", std::ios::trunc) << text;
    }

    cw::test::TempDirectory temporary{"cw-bundle"};
    const fs::path directory = temporary.path();
};

TEST_F(BundleTest, ReadsTheInformationDictionaryBesideTheExecutable) {
    writeInfo(R"({"SERVER_URL": "http://127.0.0.1:8080", "CFBundleShortVersionString": "2.3",
                  "CFBundleVersion": 41, "CFBundleIdentifier": "org.example.cradleway"})");
    Bundle::setMainBundleDirectory(directory);
    const Bundle& bundle = Bundle::main();
    EXPECT_EQ(bundle.requiredStringForInfoDictionaryKey("SERVER_URL"), "http://127.0.0.1:8080");
    EXPECT_EQ(bundle.stringForInfoDictionaryKey("CFBundleShortVersionString"), "2.3");
    EXPECT_FALSE(bundle.stringForInfoDictionaryKey("CFBundleVersion")); // a number is not a text
    EXPECT_EQ(bundle.infoDictionary()["CFBundleVersion"], 41);
    EXPECT_EQ(bundle.bundleIdentifier(), "org.example.cradleway");
}

TEST_F(BundleTest, FindsResourcesOnlyInsideTheResourcesFolder) {
    const Bundle bundle(directory);
    EXPECT_EQ(bundle.pathForResource("logo", "png"), directory / "Resources" / "logo.png");
    EXPECT_EQ(bundle.pathForResource("terms", "html", "pages"),
              directory / "Resources" / "pages" / "terms.html");
    EXPECT_FALSE(bundle.pathForResource("missing", "png"));
    EXPECT_FALSE(bundle.pathForResource("pages", "")); // a folder is not a resource
    std::ofstream(directory / "Info.json") << "{}";
    EXPECT_FALSE(bundle.pathForResource("../Info", "json")); // outside the folder
    EXPECT_FALSE(bundle.pathForResource("Info", "json", ".."));
}

TEST_F(BundleTest, DamagedInformationFileIsReportedAndIgnored) {
    writeInfo(R"({"SERVER_URL": "http://)");
    testing::internal::CaptureStderr();
    const Bundle bundle(directory);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(bundle.infoDictionary().empty());
    EXPECT_NE(message.find((directory / "Info.json").string()), std::string::npos);
}

TEST_F(BundleTest, MissingServerAddressStopsTheProgramNamingKeyAndFile) {
    writeInfo(R"({"CFBundleIdentifier": "org.example.cradleway", "SERVER_URL": 8080})");
    const Bundle bundle(directory);
    const std::string file = (directory / "Info.json").string();
    EXPECT_DEATH(bundle.requiredStringForInfoDictionaryKey("SERVER_URL"), "SERVER_URL");
    EXPECT_DEATH(bundle.requiredStringForInfoDictionaryKey("SERVER_URL"), file);
    const Bundle empty(directory / "nowhere");
    EXPECT_DEATH(empty.requiredStringForInfoDictionaryKey("SERVER_URL"), "nowhere/Info.json");
}

TEST(Device, DescribesTheHostGenericallyAndTheMachineFieldIsInjectable) {
    const UIDevice& device = UIDevice::current();
    EXPECT_FALSE(device.systemName().empty());
    EXPECT_FALSE(device.systemVersion().empty());
    EXPECT_EQ(device.systemVersion().find_first_not_of("0123456789."), std::string::npos);
    EXPECT_EQ(device.model(), "Computer");

    const std::size_t fieldSize = sizeof(utsname::machine);
    UIDevice::overrideUnameMachine("iPhone8,1");
    const std::string field = device.unameMachineField();
    EXPECT_EQ(field.size(), fieldSize);
    EXPECT_EQ(field.substr(0, 9), "iPhone8,1");
    EXPECT_EQ(field.find_first_not_of('\0', 9), std::string::npos);
    UIDevice::overrideUnameMachine(std::string(200, 'x')); // too long: cut, still zero-terminated
    EXPECT_EQ(device.unameMachineField().back(), '\0');
    UIDevice::overrideUnameMachine(std::nullopt);
    struct utsname names {};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(device.unameMachineField().c_str(), std::string(names.machine));
}

} // namespace
