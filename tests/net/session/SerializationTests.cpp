#include "net/AFURLRequestSerialization.h"
#include "net/AFURLResponseSerialization.h"

#include <gtest/gtest.h>

namespace {

std::string text(const Data& data) {
    return std::string(data.begin(), data.end());
}

TEST(QueryFlattening, NestsSortsAndWritesScalarsLikeTheQueryEncoder) {
    JSON parameters = nlohmann::json::parse(R"({
        "b": [1, [2, 3], {"k": "v"}],
        "a": {"y": null, "x": true, "w": {"deep": 0.5}},
        "Z": false,
        "empty": [],
        "none": {},
        "s": "ä=&+ /?"
    })");
    auto pairs = cw::queryStringPairs(parameters);
    std::vector<std::pair<std::string, std::string>> flat;
    for (const auto& p : pairs)
        flat.emplace_back(p.field, p.value.value_or("<null>"));
    std::vector<std::pair<std::string, std::string>> expected{
        {"Z", "0"},     {"a[w][deep]", "0.5"}, {"a[x]", "1"},   {"a[y]", "<null>"}, {"b[]", "1"},
        {"b[][]", "2"}, {"b[][]", "3"},        {"b[][k]", "v"}, {"s", "ä=&+ /?"},
    };
    EXPECT_EQ(flat, expected);
    EXPECT_EQ(cw::queryString(parameters),
              "Z=0&a%5Bw%5D%5Bdeep%5D=0.5&a%5Bx%5D=1&a%5By%5D&b%5B%5D=1&b%5B%5D%5B%5D=2&b%5B%5D%5B%5D=3&"
              "b%5B%5D%5Bk%5D=v&s=%C3%A4%3D%26%2B%20/?");
    EXPECT_EQ(cw::queryString(JSON()), "");
    EXPECT_EQ(cw::queryString(JSON::missing()), "");
}

TEST(RequestSerializer, PlacesParametersByMethodAndKeepsHeaders) {
    AFJSONRequestSerializer serializer;
    serializer.setValue("1", "X-App-Version");
    serializer.setValue("2", "X-Client");
    serializer.setValue(std::nullopt, "x-client");
    EXPECT_EQ(serializer.HTTPRequestHeaders().size(), 1u);

    JSON parameters = nlohmann::json::parse(R"({"a":1})");
    auto get = serializer.requestWithMethod("GET", "http://h/p?x=1", parameters);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->url, "http://h/p?x=1&a=1");
    EXPECT_FALSE(get->HTTPBody);

    auto post = serializer.requestWithMethod("POST", "http://h/p", parameters);
    ASSERT_TRUE(post && post->HTTPBody);
    EXPECT_EQ(text(*post->HTTPBody), "{\"a\":1}");
    EXPECT_EQ(post->valueForHTTPHeaderField("content-type"), "application/json");
    EXPECT_EQ(post->valueForHTTPHeaderField("X-App-Version"), "1");
    EXPECT_EQ(post->timeoutInterval, 60);

    auto emptyObject = serializer.requestWithMethod("POST", "http://h/p", JSON(JSON::dictionary_t{}));
    ASSERT_TRUE(emptyObject && emptyObject->HTTPBody);
    EXPECT_EQ(text(*emptyObject->HTTPBody), "{}");

    NSError error;
    EXPECT_FALSE(serializer.requestWithMethod("POST", "http://h/p", JSON(3), &error));
    EXPECT_EQ(error.domain, NSCocoaErrorDomain);
}

TEST(RequestSerializer, MultipartBodyIsWellFormed) {
    AFJSONRequestSerializer serializer;
    serializer.setValue("text/plain", "Content-Type"); // replaced by the multipart type
    JSON parameters = nlohmann::json::parse(R"({"babies":[{"name":"A"}],"flag":true,"gone":null})");
    auto request = serializer.multipartFormRequestWithMethod(
        "POST", "http://h/p", parameters, [](AFMultipartFormData& f) {
            f.appendPartWithFileData(Data{1, 2, 3}, "pic", "photo\"x", "image/jpeg");
        });
    auto type = request.valueForHTTPHeaderField("Content-Type");
    ASSERT_TRUE(type);
    ASSERT_TRUE(type->starts_with("multipart/form-data; boundary="));
    std::string boundary = type->substr(std::string("multipart/form-data; boundary=").size());
    std::string expected = "--" + boundary +
                           "\r\nContent-Disposition: form-data; name=\"babies[][name]\"\r\n\r\nA\r\n"
                           "--" +
                           boundary +
                           "\r\nContent-Disposition: form-data; name=\"flag\"\r\n\r\n1\r\n"
                           "--" +
                           boundary +
                           "\r\nContent-Disposition: form-data; name=\"gone\"\r\n\r\n\r\n"
                           "--" +
                           boundary +
                           "\r\nContent-Disposition: form-data; name=\"pic\"; filename=\"photo%22x\"\r\n"
                           "Content-Type: image/jpeg\r\n\r\n\x01\x02\x03\r\n"
                           "--" +
                           boundary + "--\r\n";
    EXPECT_EQ(text(*request.HTTPBody), expected);
}

TEST(ResponseSerializer, AcceptsJSONTypesOnly2xxAndKeepsTheBodyOfFailures) {
    AFJSONResponseSerializer serializer;
    auto reply = [](int status, std::optional<std::string> type) {
        std::vector<std::pair<std::string, std::string>> headers;
        if (type) headers.emplace_back("content-type", *type);
        return NSHTTPURLResponse("http://h/", status, headers);
    };
    Data json{'[', '1', ']'};
    std::optional<JSON> object;
    NSError error;
    for (const char* type : {"application/json", "Text/JSON; charset=utf-8", "text/javascript"}) {
        EXPECT_TRUE(serializer.responseObjectForResponse(reply(200, type), json, object, error)) << type;
        EXPECT_EQ(object->count(), 1u);
    }
    EXPECT_TRUE(serializer.responseObjectForResponse(reply(204, std::nullopt), {}, object, error));
    EXPECT_FALSE(object);
    EXPECT_TRUE(
        serializer.responseObjectForResponse(reply(200, "application/json"), Data{' ', '\n'}, object, error));
    EXPECT_FALSE(object);
    EXPECT_FALSE(serializer.responseObjectForResponse(reply(200, std::nullopt), json, object, error));
    EXPECT_EQ(error.code, NSURLErrorCannotDecodeContentData);
    EXPECT_FALSE(serializer.responseObjectForResponse(reply(200, "text/html"), {}, object, error));

    for (int status : {199, 300, 304, 401, 500}) {
        EXPECT_FALSE(
            serializer.responseObjectForResponse(reply(status, "application/json"), json, object, error));
        EXPECT_EQ(error.code, NSURLErrorBadServerResponse);
        ASSERT_TRUE(cw::failingResponseData(error));
        EXPECT_EQ(*cw::failingResponseData(error), json);
        EXPECT_EQ(cw::failingResponse(error)->statusCode(), status);
    }
    EXPECT_EQ(cw::failingResponseData(NSError()), nullptr);
    NSError wrongType("d", 1,
                      {{std::string(AFNetworkingOperationFailingURLResponseDataErrorKey), std::string("x")}});
    EXPECT_EQ(cw::failingResponseData(wrongType), nullptr);
}

} // namespace
