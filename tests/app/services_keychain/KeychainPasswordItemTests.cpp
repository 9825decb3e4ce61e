#include "Services/KeychainPasswordItem.h"
#include "Services/TouchIDAuth.h"
#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"

#include "tests/support/ReleaseProbe.h"

#include <gtest/gtest.h>

#include <atomic>

#include <fstream>

namespace fs = std::filesystem;

namespace {

using KeychainError = KeychainPasswordItem::KeychainError;

class KeychainPasswordItemTest : public ::testing::Test {
protected:
    template <class F> static std::optional<KeychainError> errorOf(F&& f) {
        try {
            f();
        } catch (const KeychainError& error) {
            return error;
        }
        return std::nullopt;
    }

    cw::test::AppEnvironment environment{"cw-password"};
    KeychainPasswordItem item{"CradlewayService", "mother@example.org"};
};

TEST_F(KeychainPasswordItemTest, QueryNamesOnlyWhatIsGiven) {
    const auto plain = KeychainPasswordItem::keychainQuery("CradlewayService", "mother@example.org");
    EXPECT_EQ(plain.size(), 3u);
    EXPECT_EQ(plain.at(kSecClass), SecValue(kSecClassGenericPassword));
    EXPECT_FALSE(plain.contains(kSecAttrAccessGroup));
    EXPECT_EQ(KeychainPasswordItem::keychainQuery("CradlewayService").size(), 2u);
    EXPECT_EQ(KeychainPasswordItem::keychainQuery("S", "a", "group").at(kSecAttrAccessGroup),
              SecValue("group"));
}

TEST_F(KeychainPasswordItemTest, SaveAddsThenUpdatesAndReadsBackUnchanged) {
    EXPECT_EQ(errorOf([&] { item.readPassword(); }), KeychainError::noPassword());
    item.savePassword("Ünïcödé ключ 🔑");
    EXPECT_EQ(item.readPassword(), "Ünïcödé ключ 🔑");

    std::optional<SecValue> before;
    const auto attributes = [&] {
        std::optional<SecValue> result;
        auto q = KeychainPasswordItem::keychainQuery(item.service, item.account);
        q.emplace(kSecReturnAttributes, true);
        EXPECT_EQ(SecItemCopyMatching(q, &result), errSecSuccess);
        return *result->getIf<SecDictionary>();
    };
    const SecDictionary first = attributes();
    item.savePassword("second");
    EXPECT_EQ(item.readPassword(), "second");
    EXPECT_EQ(attributes().at(kSecAttrCreationDate), first.at(kSecAttrCreationDate)); // updated, not replaced

    // Another member's item is separate.
    const KeychainPasswordItem father{"CradlewayService", "father@example.org"};
    EXPECT_EQ(errorOf([&] { father.readPassword(); }), KeychainError::noPassword());

    EXPECT_EQ(item.deleteItem(), errSecSuccess);
    EXPECT_EQ(errorOf([&] { item.readPassword(); }), KeychainError::noPassword());
}

TEST_F(KeychainPasswordItemTest, UnreadableItemIsReportedAndNeverOverwritten) {
    const Data latin1{'p', 0xE4, 's', 's'}; // not UTF-8
    auto newItem = KeychainPasswordItem::keychainQuery(item.service, item.account);
    newItem.emplace(kSecValueData, latin1);
    ASSERT_EQ(SecItemAdd(newItem, nullptr), errSecSuccess);

    EXPECT_EQ(errorOf([&] { item.readPassword(); }), KeychainError::unexpectedPasswordData());
    EXPECT_EQ(errorOf([&] { item.savePassword("new"); }), KeychainError::unexpectedPasswordData());
    std::optional<SecValue> data;
    auto q = KeychainPasswordItem::keychainQuery(item.service, item.account);
    q.emplace(kSecReturnData, true);
    ASSERT_EQ(SecItemCopyMatching(q, &data), errSecSuccess);
    EXPECT_EQ(*data->getIf<Data>(), latin1);
}

TEST_F(KeychainPasswordItemTest, FailingStatusIsCarriedInTheError) {
    const KeychainPasswordItem broken{"CradlewayService", "mother@example.org"};
    std::ofstream(environment.directory() / "not-a-directory") << "x";
    cw::setDataDirectory(environment.directory() /
                         "not-a-directory"); // the keychain file can be neither read nor written
    testing::internal::CaptureStderr();
    const auto error = errorOf([&] { broken.savePassword("x"); });
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), KeychainError::Kind::unhandledError);
    EXPECT_EQ(error->status(), errSecIO);
}

// The Touch ID check: what each answer of the owner check becomes.
class TouchIDAuthTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().reset(); }
    void TearDown() override {
        cw::setBiometricAnswers({});
        RunLoop::main().reset();
    }

    // Runs one check and returns how its completion was called, if it was.
    std::optional<std::optional<std::string>> check(cw::BiometricAnswers answers, bool expectCall = true) {
        cw::setBiometricAnswers(answers);
        std::optional<std::optional<std::string>> received;
        bool onMain = false;
        TouchIDAuth auth;
        auth.authenticateUser([&](std::optional<std::string> message) {
            received = std::move(message);
            onMain = Thread::isMainThread();
        });
        if (expectCall) {
            EXPECT_TRUE(RunLoop::main().runUntil([&] { return received.has_value(); }, 10));
            EXPECT_TRUE(onMain);
        } else {
            RunLoop::main().runFor(0.2);
        }
        return received;
    }
};

TEST_F(TouchIDAuthTest, EveryAnswerGivesItsMessageOnTheMainThread) {
    const auto touchID = LABiometryType::touchID;
    testing::internal::CaptureStdout();
    const auto success = check({touchID, std::nullopt, std::nullopt});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Successfully done with touch ID\n");
    ASSERT_TRUE(success);   // called
    EXPECT_FALSE(*success); // with no message

    EXPECT_EQ(check({touchID, std::nullopt, LAError::authenticationFailed}),
              std::optional<std::string>("There was a problem verifying your identity."));
    EXPECT_EQ(check({touchID, std::nullopt, LAError::userCancel}),
              std::optional<std::string>("You pressed cancel."));
    EXPECT_EQ(check({touchID, std::nullopt, LAError::userFallback}),
              std::optional<std::string>("You pressed password."));
    for (auto other : {LAError::systemCancel, LAError::biometryLockout, LAError::appCancel})
        EXPECT_EQ(check({touchID, std::nullopt, other}),
                  std::optional<std::string>("Touch ID may not be configured"));
    EXPECT_EQ(TouchIDAuth::message(std::nullopt), "Touch ID may not be configured");
    EXPECT_EQ(TouchIDAuth::message(NSError("SomeOtherDomain", LAError::userCancel)),
              "Touch ID may not be configured");
}

TEST_F(TouchIDAuthTest, WithoutUsableBiometricsTheCompletionIsNeverCalled) {
    EXPECT_FALSE(check({}, false));
    EXPECT_FALSE(check({LABiometryType::touchID, LAError::biometryLockout, std::nullopt}, false));
    EXPECT_EQ(RunLoop::main().pendingTaskCount(), 0u);
}

// The completion usually owns the sign-in screen, which may only be destroyed on the main thread.
TEST_F(TouchIDAuthTest, TheCompletionIsReleasedOnTheMainThread) {
    cw::test::ReleaseCounter released;
    for (auto failure : {std::optional<LAError::Code>(), std::optional<LAError::Code>(LAError::userCancel)}) {
        cw::setBiometricAnswers({LABiometryType::touchID, std::nullopt, failure});
        const int before = released.gone.load();
        bool called = false;
        {
            auto probe = released.make();
            TouchIDAuth auth;
            testing::internal::CaptureStdout();
            auth.authenticateUser([probe, &called](std::optional<std::string>) { called = true; });
            ASSERT_TRUE(RunLoop::main().runUntil([&] { return called; }, 10));
            testing::internal::GetCapturedStdout();
        }
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return released.gone.load() == before + 1; }, 5));
    }
    EXPECT_EQ(released.offMain.load(), 0);
}

} // namespace
