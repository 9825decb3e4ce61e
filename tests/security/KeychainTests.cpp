#include "foundation/defaults/Storage.h"
#include "security/keychain/SecItem.h"
#include "tests/support/AppEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class KeychainTest : public ::testing::Test {
protected:
    static SecDictionary query(const std::string& account, std::optional<std::string> group = std::nullopt) {
        SecDictionary q{{kSecClass, kSecClassGenericPassword},
                        {kSecAttrService, "CradlewayService"},
                        {kSecAttrAccount, account}};
        if (group) q.emplace(kSecAttrAccessGroup, *group);
        return q;
    }
    static SecDictionary with(SecDictionary q, const std::string& key, SecValue value) {
        q.insert_or_assign(key, std::move(value));
        return q;
    }
    static Data bytes(const std::string& text) { return Data(text.begin(), text.end()); }

    // The item's attributes and data, as the password reader asks for them.
    static std::optional<SecDictionary> fetch(const SecDictionary& q) {
        std::optional<SecValue> result;
        auto full = with(with(with(q, kSecMatchLimit, kSecMatchLimitOne), kSecReturnAttributes, true),
                         kSecReturnData, true);
        if (SecItemCopyMatching(full, &result) != errSecSuccess || !result || !result->getIf<SecDictionary>())
            return std::nullopt;
        return *result->getIf<SecDictionary>();
    }

    cw::test::AppEnvironment environment{"cw-keychain"};
    const fs::path directory = environment.dataDirectory();
};

TEST_F(KeychainTest, ItemSurvivesInAPrivateFileAndIsGoneAfterDelete) {
    EXPECT_EQ(SecItemCopyMatching(query("mother@example.org"), nullptr), errSecItemNotFound);
    ASSERT_EQ(SecItemAdd(with(query("mother@example.org"), kSecValueData, bytes("pässwörd")), nullptr),
              errSecSuccess);

    const fs::path file = directory / "keychain.json";
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Another data directory does not see it; coming back to this one finds it again, read from disk.
    cw::setDataDirectory(directory / "elsewhere");
    EXPECT_EQ(SecItemCopyMatching(query("mother@example.org"), nullptr), errSecItemNotFound);
    cw::setDataDirectory(directory);
    std::optional<SecValue> data;
    ASSERT_EQ(SecItemCopyMatching(with(query("mother@example.org"), kSecReturnData, true), &data),
              errSecSuccess);
    ASSERT_TRUE(data && data->getIf<Data>());
    EXPECT_EQ(*data->getIf<Data>(), bytes("pässwörd"));

    EXPECT_EQ(SecItemDelete(query("mother@example.org")), errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(query("mother@example.org"), nullptr), errSecItemNotFound);
    EXPECT_EQ(SecItemDelete(query("mother@example.org")), errSecItemNotFound);
}

TEST_F(KeychainTest, UpdateChangesOnlyTheData) {
    ASSERT_EQ(SecItemAdd(with(query("a@example.org", "group.one"), kSecValueData, bytes("old")), nullptr),
              errSecSuccess);
    const auto before = fetch(query("a@example.org"));
    ASSERT_TRUE(before);

    EXPECT_EQ(SecItemUpdate(query("a@example.org"), {{kSecValueData, bytes("new")}}), errSecSuccess);
    const auto after = fetch(query("a@example.org"));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->at(kSecValueData), SecValue(bytes("new")));
    for (const auto& key :
         {kSecClass, kSecAttrService, kSecAttrAccount, kSecAttrAccessGroup, kSecAttrCreationDate})
        EXPECT_EQ(after->at(key), before->at(key)) << key;

    // Renaming through update is refused, and nothing changes.
    EXPECT_EQ(SecItemUpdate(query("a@example.org"), {{kSecAttrAccount, "b@example.org"}}), errSecParam);
    EXPECT_EQ(SecItemUpdate(query("a@example.org"), {{kSecValueData, bytes("x")}, {kSecAttrAccount, "b"}}),
              errSecParam);
    EXPECT_EQ(fetch(query("a@example.org"))->at(kSecValueData), SecValue(bytes("new")));
    EXPECT_EQ(SecItemUpdate(query("nobody@example.org"), {{kSecValueData, bytes("x")}}), errSecItemNotFound);
}

TEST_F(KeychainTest, ServiceAccountAndGroupTogetherIdentifyAnItem) {
    ASSERT_EQ(SecItemAdd(with(query("a@example.org"), kSecValueData, bytes("1")), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(with(query("a@example.org"), kSecValueData, bytes("2")), nullptr),
              errSecDuplicateItem);
    EXPECT_EQ(SecItemAdd(with(query("a@example.org", "group.two"), kSecValueData, bytes("3")), nullptr),
              errSecSuccess);
    EXPECT_EQ(SecItemAdd(with(query("b@example.org"), kSecValueData, bytes("4")), nullptr), errSecSuccess);

    // A query without a group matches items of any group; with one, only that group's.
    std::optional<SecValue> data;
    ASSERT_EQ(SecItemCopyMatching(with(query("a@example.org", "group.two"), kSecReturnData, true), &data),
              errSecSuccess);
    EXPECT_EQ(*data->getIf<Data>(), bytes("3"));
    EXPECT_EQ(SecItemCopyMatching(query("a@example.org", "group.three"), nullptr), errSecItemNotFound);
    EXPECT_EQ(SecItemDelete(query("a@example.org")), errSecSuccess); // both of a@
    EXPECT_EQ(SecItemCopyMatching(query("a@example.org"), nullptr), errSecItemNotFound);
    EXPECT_EQ(SecItemCopyMatching(query("b@example.org"), nullptr), errSecSuccess);
}

TEST_F(KeychainTest, MalformedQueriesAreRefused) {
    EXPECT_EQ(SecItemCopyMatching({{kSecAttrService, "CradlewayService"}}, nullptr), errSecParam);
    EXPECT_EQ(SecItemCopyMatching(with(query("a"), kSecAttrAccount, Data{1}), nullptr), errSecParam);
    EXPECT_EQ(SecItemCopyMatching(with(query("a"), "unknownKey", true), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd({{kSecClass, kSecClassGenericPassword}, {kSecValueData, Data{1}}}, nullptr),
              errSecParam);
    EXPECT_EQ(SecItemAdd(with(query("a"), kSecValueData, "text, not data"), nullptr), errSecParam);
}

TEST_F(KeychainTest, DamagedFileIsMovedAsideNotLost) {
    ASSERT_EQ(SecItemAdd(with(query("a@example.org"), kSecValueData, bytes("1")), nullptr), errSecSuccess);
    std::ofstream(directory / "keychain.json", std::ios::trunc)
        << R"({"format":"cradleway-keychain","version":1,"items":[{)";
    testing::internal::CaptureStderr();
    EXPECT_EQ(SecItemCopyMatching(query("a@example.org"), nullptr), errSecItemNotFound);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("keychain"), std::string::npos);
    int setAside = 0;
    for (const auto& entry : fs::directory_iterator(directory))
        setAside += entry.path().filename().string().starts_with("keychain.json.corrupt-");
    EXPECT_EQ(setAside, 1);
    EXPECT_EQ(SecItemAdd(with(query("a@example.org"), kSecValueData, bytes("2")), nullptr), errSecSuccess);
}

} // namespace
