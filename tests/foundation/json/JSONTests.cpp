#include "foundation/json/JSON.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

JSON parsed(std::string_view text) {
    auto result = JSON::parse(text, {.allowFragments = true});
    EXPECT_TRUE(result.ok()) << text << ": "
                             << result.error().userInfoString(NSDebugDescriptionErrorKey).value_or("");
    return result.value();
}

const JSON& sample() {
    static const JSON value = parsed(R"({"text":"hello","int":42,"neg":-7,"real":3.75,"whole":3.0,"yes":true,
        "no":false,"null":null,"list":[1,"two",3],"names":["a","b"],"empty":[],"object":{"k":"v"}})");
    return value;
}

} // namespace

// Each reader accessor on each JSON type, and on a missing key.
TEST(JSONAccessors, OptionalReadersGiveNoneForOtherTypes) {
    const JSON& j = sample();

    EXPECT_EQ(j["text"].string(), "hello");
    for (auto key : {"int", "real", "yes", "null", "list", "object", "missing"})
        EXPECT_FALSE(j[key].string()) << key;

    EXPECT_EQ(j["int"].int_(), 42);
    EXPECT_EQ(j["neg"].int_(), -7);
    EXPECT_EQ(j["real"].int_(), 3); // integer part
    EXPECT_EQ(j["yes"].int_(), 1);  // a Boolean counts as 1 or 0
    EXPECT_EQ(j["no"].int_(), 0);
    for (auto key : {"text", "null", "list", "object", "missing"})
        EXPECT_FALSE(j[key].int_()) << key;
    EXPECT_FALSE(parsed(R"({"id":"12"})")["id"].int_()); // a numeric text is not a number

    EXPECT_EQ(j["real"].double_(), 3.75);
    EXPECT_EQ(j["int"].double_(), 42.0);
    EXPECT_FALSE(j["text"].double_());

    EXPECT_EQ(j["yes"].bool_(), true);
    EXPECT_EQ(j["no"].bool_(), false);
    for (auto key : {"int", "text", "null", "list", "object", "missing"})
        EXPECT_FALSE(j[key].bool_()) << key;

    ASSERT_TRUE(j["list"].array());
    EXPECT_EQ(j["list"].array()->size(), 3u);
    EXPECT_TRUE(j["empty"].array());
    EXPECT_EQ(j["empty"].array()->size(), 0u);
    for (auto key : {"text", "int", "object", "null", "missing"})
        EXPECT_FALSE(j[key].array()) << key;

    ASSERT_TRUE(j["object"].dictionary());
    EXPECT_EQ(j["object"].dictionary()->at("k").string(), "v");
    for (auto key : {"text", "int", "list", "null", "missing"})
        EXPECT_FALSE(j[key].dictionary()) << key;
}

TEST(JSONAccessors, NonOptionalReadersFallBack) {
    const JSON& j = sample();

    EXPECT_EQ(j["text"].stringValue(), "hello");
    EXPECT_EQ(j["int"].stringValue(), "42");
    EXPECT_EQ(j["neg"].stringValue(), "-7");
    EXPECT_EQ(j["real"].stringValue(), "3.75");
    EXPECT_EQ(j["whole"].stringValue(), "3");
    EXPECT_EQ(j["yes"].stringValue(), "true");
    EXPECT_EQ(j["no"].stringValue(), "false");
    for (auto key : {"null", "list", "object", "missing"})
        EXPECT_EQ(j[key].stringValue(), "") << key;
    EXPECT_EQ(parsed("[1e20, 0.1, 18446744073709551615]")[0].stringValue(), "1e+20");
    EXPECT_EQ(parsed("[1e20, 0.1, 18446744073709551615]")[1].stringValue(), "0.1");
    EXPECT_EQ(parsed("[1e20, 0.1, 18446744073709551615]")[2].stringValue(), "18446744073709551615");

    EXPECT_EQ(j["int"].intValue(), 42);
    EXPECT_EQ(j["yes"].intValue(), 1);
    EXPECT_EQ(j["missing"].intValue(), 0);
    EXPECT_EQ(j["list"].intValue(), 0);
    EXPECT_EQ(JSON("12").intValue(), 12);
    EXPECT_EQ(JSON(" -3.9 kg").intValue(), -3);
    EXPECT_EQ(JSON("9007199254740993").intValue(), 9007199254740993); // exact beyond double precision
    EXPECT_EQ(JSON("abc").intValue(), 0);
    EXPECT_EQ(JSON(".").intValue(), 0);
    EXPECT_EQ(JSON("1e400").intValue(), std::numeric_limits<std::int64_t>::max()); // clamped, not undefined
    EXPECT_EQ(parsed("[1e300]")[0].intValue(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parsed("[-1e300]")[0].int_(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parsed("[18446744073709551615]")[0].int_(), std::numeric_limits<std::int64_t>::max());

    EXPECT_EQ(j["real"].doubleValue(), 3.75);
    EXPECT_EQ(JSON("2.5e1").doubleValue(), 25.0);
    EXPECT_EQ(j["object"].doubleValue(), 0.0);

    EXPECT_TRUE(j["yes"].boolValue());
    EXPECT_FALSE(j["no"].boolValue());
    EXPECT_TRUE(j["int"].boolValue());
    EXPECT_FALSE(parsed("[0]")[0].boolValue());
    for (auto text : {"true", "TRUE", "Yes", "y", "t", "1"})
        EXPECT_TRUE(JSON(text).boolValue()) << text;
    for (auto text : {"false", "no", "2", "", " true"})
        EXPECT_FALSE(JSON(text).boolValue()) << text;
    for (auto key : {"null", "list", "object", "missing"})
        EXPECT_FALSE(j[key].boolValue()) << key;

    EXPECT_EQ(j["list"].arrayValue().size(), 3u);
    EXPECT_TRUE(j["object"].arrayValue().empty());
    EXPECT_TRUE(j["missing"].arrayValue().empty());
    EXPECT_EQ(j["object"].dictionaryValue().size(), 1u);
    EXPECT_TRUE(j["list"].dictionaryValue().empty());
    EXPECT_TRUE(j["missing"].dictionaryValue().empty());
}

TEST(JSONAccessors, SubscriptsNeverThrowAndRememberMissing) {
    const JSON& j = sample();
    EXPECT_TRUE(j["null"].exists());
    EXPECT_EQ(j["null"].type(), JSON::Type::null);
    EXPECT_FALSE(j["missing"].exists());
    EXPECT_EQ(j["missing"].type(), JSON::Type::null);
    EXPECT_FALSE(j["missing"]["deeper"][3].exists());
    EXPECT_FALSE(j["list"][3].exists());
    EXPECT_FALSE(j["list"][-1].exists());
    EXPECT_FALSE(j["list"]["key"].exists()); // key on an array
    EXPECT_FALSE(j["object"][0].exists());   // index on an object
    EXPECT_FALSE(j["text"][0].exists());
    EXPECT_EQ(j["list"][1].string(), "two");
    EXPECT_EQ(j["list"][std::size_t{2}].int_(), 3);
    EXPECT_EQ(j["list"].count(), 3u);
    EXPECT_EQ(j["text"].count(), 0u);

    EXPECT_EQ(j["text"].type(), JSON::Type::string);
    EXPECT_EQ(j["int"].type(), JSON::Type::number);
    EXPECT_EQ(j["real"].type(), JSON::Type::number);
    EXPECT_EQ(j["yes"].type(), JSON::Type::boolean);
    EXPECT_EQ(j["list"].type(), JSON::Type::array);
    EXPECT_EQ(j["object"].type(), JSON::Type::dictionary);
}

TEST(JSONFoundationCasts, FollowThePlatformBridging) {
    const JSON& j = sample();

    EXPECT_EQ(j["int"].asExactInt(), 42);
    EXPECT_EQ(j["whole"].asExactInt(), 3);
    EXPECT_FALSE(j["real"].asExactInt());
    EXPECT_FALSE(j["yes"].asExactInt()); // a Boolean is not an integer here, unlike int_()
    EXPECT_FALSE(j["text"].asExactInt());
    EXPECT_FALSE(JSON("5").asExactInt());
    EXPECT_FALSE(parsed("[1e30]")[0].asExactInt());
    EXPECT_FALSE(parsed("[18446744073709551615]")[0].asExactInt());
    EXPECT_EQ(parsed("[-9223372036854775808]")[0].asExactInt(), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(j["missing"].asExactInt());

    EXPECT_EQ(j["yes"].asBool(), true);
    EXPECT_EQ(j["no"].asBool(), false);
    EXPECT_EQ(parsed("[1, 0, 2, 0.5]")[0].asBool(), true);
    EXPECT_EQ(parsed("[1, 0, 2, 0.5]")[1].asBool(), false);
    EXPECT_FALSE(parsed("[1, 0, 2, 0.5]")[2].asBool());
    EXPECT_FALSE(parsed("[1, 0, 2, 0.5]")[3].asBool());
    EXPECT_FALSE(JSON("true").asBool());

    EXPECT_EQ(j["text"].asString(), "hello");
    EXPECT_FALSE(j["int"].asString());

    EXPECT_EQ(j["names"].asStringList(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(j["empty"].asStringList(), std::vector<std::string>{});
    EXPECT_FALSE(j["list"].asStringList()); // one element is not a text
    EXPECT_FALSE(j["text"].asStringList());
    EXPECT_FALSE(parsed(R"(["a", null])").asStringList());

    EXPECT_TRUE(j["object"].asDictionary());
    EXPECT_FALSE(j["list"].asDictionary());
    EXPECT_TRUE(j["list"].asArray());
    EXPECT_EQ(j["int"].asDouble(), 42.0);
}

TEST(JSONDecoding, ErrorsCarryThePlatformDomain) {
    for (std::string_view bad : {"", "{", "{\"a\":}", "[1,]", "nul", "{\"a\":1} trailing", "{'a':1}",
                                 "[\"\xff\"]", "[1] // comment"}) {
        auto result = JSON::parse(bad);
        EXPECT_FALSE(result.ok()) << bad;
        EXPECT_EQ(result.error().domain, "NSCocoaErrorDomain") << bad;
        EXPECT_EQ(result.error().code, 3840) << bad;
        EXPECT_TRUE(result.error().userInfoString(NSDebugDescriptionErrorKey)) << bad;
        EXPECT_FALSE(result.value().exists());
    }
    EXPECT_EQ(JSON::parse("{").error().localizedDescription(),
              "The data couldn’t be read because it isn’t in the correct format.");

    // Without the fragments option only an array or an object is accepted at the top.
    for (std::string_view fragment : {"3", "\"text\"", "null", "true"}) {
        EXPECT_FALSE(JSON::parse(fragment).ok()) << fragment;
        EXPECT_TRUE(JSON::parse(fragment, {.allowFragments = true}).ok()) << fragment;
    }

    auto bomAfterBlanks = JSON::parse(" \xEF\xBB\xBF[1]");
    EXPECT_FALSE(bomAfterBlanks.ok()); // a byte-order mark after blanks is not JSON
    auto withBom = JSON::parse("\xEF\xBB\xBF{\"k\": \"\\u00e9\"}");
    ASSERT_TRUE(withBom.ok());
    EXPECT_EQ(withBom.value()["k"].string(), "\xC3\xA9");
    EXPECT_TRUE(withBom.error().domain.empty());
}

TEST(JSONDecoding, DeepNestingIsRefusedNotACrash) {
    std::string deep(100000, '[');
    deep += std::string(100000, ']');
    auto result = JSON::parse(deep);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, 3840);

    std::string fine(JSON::maxDepth, '[');
    fine += std::string(JSON::maxDepth, ']');
    EXPECT_TRUE(JSON::parse(fine).ok());

    // Brackets inside strings do not count as nesting.
    EXPECT_TRUE(JSON::parse("[\"" + std::string(1000, '[') + "\\\"\"]").ok());
}

// A reply costs what it decodes to: a few bytes per value, each kept as a value of its own. A text
// of more values than any reply of the server holds is refused, whatever shape they take, before
// they are all built.
TEST(JSONDecoding, ARepliesValuesAreBoundedNotItsBytes) {
    auto values = [](std::size_t count, std::string_view value) {
        std::string text = "[";
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) text += ',';
            text += value;
        }
        return text + "]";
    };
    // The array itself is one value.
    const std::size_t most = JSON::maxElements - 1;
    for (std::string_view value : {"0", "{}", "[]", "\"\"", "null"}) {
        auto fits = JSON::parse(values(most, value));
        ASSERT_TRUE(fits.ok()) << value;
        EXPECT_EQ(fits.value().count(), most);

        auto tooMany = JSON::parse(values(most + 1, value));
        EXPECT_FALSE(tooMany.ok()) << value;
        EXPECT_EQ(tooMany.error().code, 3840);
        EXPECT_EQ(tooMany.error().domain, "NSCocoaErrorDomain");
        EXPECT_EQ(tooMany.error().userInfoString(NSDebugDescriptionErrorKey),
                  "The data holds more than " + std::to_string(JSON::maxElements) + " values.");
    }
    // Members' values count, wherever they stand.
    std::string object = "{";
    for (std::size_t i = 0; i < JSON::maxElements; ++i)
        object += (i > 0 ? ",\"" : "\"") + std::to_string(i) + "\":1";
    EXPECT_FALSE(JSON::parse(object + "}").ok());

    // A text broken before the limit still says where it is broken.
    auto broken = JSON::parse("[1,2,x]");
    EXPECT_NE(broken.error().userInfoString(NSDebugDescriptionErrorKey).value_or("").find("syntax error"),
              std::string::npos);
}

TEST(JSONBuilding, SetAppendAndSerializeCompactly) {
    JSON body;
    body.set("full_name", "Ann").set("user_id", 12).set("ratio", 0.5).set("ok", true).set("none", nullptr);
    body.set("ids", JSON::array_t{1, 2});
    body.set("nested", JSON::dictionary_t{{"url", "a/b"}});
    EXPECT_EQ(
        body.serialize(),
        R"({"full_name":"Ann","ids":[1,2],"nested":{"url":"a/b"},"none":null,"ok":true,"ratio":0.5,"user_id":12})");

    JSON list;
    list.append("x").append(JSON::missing());
    EXPECT_EQ(list.serialize(), R"(["x",null])");

    JSON text("keep");
    text.set("k", 1).append(2);
    EXPECT_EQ(text.serialize(), R"("keep")");

    // Invalid UTF-8 built by code is replaced rather than thrown on.
    EXPECT_EQ(JSON(std::string("a\xff")).serialize(), "\"a\xEF\xBF\xBD\"");
    EXPECT_EQ(JSON::missing().serialize(), "null");
    EXPECT_EQ(JSON(std::numeric_limits<double>::quiet_NaN()).serialize(), "null");

    auto round = JSON::parse(body.serialize());
    ASSERT_TRUE(round.ok());
    EXPECT_EQ(round.value(), body);
}

TEST(JSONBuilding, CopiesAndViewsDoNotSeeLaterChanges) {
    JSON original = parsed(R"({"a":{"b":1},"list":[1]})");
    JSON copy = original;
    JSON view = original["a"];
    original.set("c", 2);
    view.set("b", 5);
    EXPECT_FALSE(copy["c"].exists());
    EXPECT_EQ(copy["a"]["b"].int_(), 1);
    EXPECT_EQ(original["a"]["b"].int_(), 1);
    EXPECT_EQ(view["b"].int_(), 5);

    // Setting a value taken from the same storage.
    original.set("again", original["list"]);
    EXPECT_EQ(original["again"].serialize(), "[1]");

    JSON fromMissing = original["nothing"];
    fromMissing.set("k", "v");
    EXPECT_TRUE(fromMissing.exists());
    EXPECT_FALSE(original["nothing"].exists());
    EXPECT_FALSE(JSON::missing().exists());

    original.remove("a");
    EXPECT_FALSE(original["a"].exists());
    EXPECT_TRUE(copy["a"].exists());
}

TEST(JSONBuilding, ConstructorsAndNlohmannInterop) {
    EXPECT_EQ(JSON(7u).json(), nlohmann::json(7u));
    EXPECT_EQ(JSON(std::int64_t{-5}).int_(), -5);
    EXPECT_EQ(JSON(2.5f).double_(), 2.5);
    EXPECT_EQ(JSON(static_cast<const char*>(nullptr)).type(), JSON::Type::null);
    EXPECT_EQ(JSON(std::string_view("sv")).string(), "sv");
    nlohmann::json raw = {{"k", {1, 2}}};
    JSON wrapped(raw);
    EXPECT_EQ(wrapped["k"][1].int_(), 2);
    EXPECT_EQ(wrapped.json(), raw);
    EXPECT_EQ(wrapped["k"].json(), raw["k"]);
}

TEST(NSErrorTests, DescriptionsAndEmptyError) {
    NSError empty;
    EXPECT_TRUE(empty.domain.empty());
    EXPECT_EQ(empty.code, 0);
    EXPECT_TRUE(empty.userInfo.empty());

    NSError custom("Cradleway.RequestError", 3);
    EXPECT_EQ(custom.localizedDescription(),
              "The operation couldn’t be completed. (Cradleway.RequestError error 3.)");
    custom.userInfo[std::string(NSLocalizedDescriptionKey)] = std::string("Nope");
    EXPECT_EQ(custom.localizedDescription(), "Nope");
    custom.userInfo["number"] = 5;
    EXPECT_FALSE(custom.userInfoString("number"));
}
