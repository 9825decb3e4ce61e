#pragma once

#include "foundation/json/JSON.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A comment as the screens show it: who wrote it, when (the server's text as sent), what, and the
// writer's picture. Screens that show comments are written against this; `CommentData` is the record
// that fulfils it.
template <class T>
concept Comment = requires(const T& comment) {
    { comment.userName } -> std::convertible_to<const std::string&>;
    { comment.commentTime } -> std::convertible_to<const std::string&>;
    { comment.commentText } -> std::convertible_to<const std::string&>;
    { comment.userImageURL } -> std::convertible_to<const std::optional<std::string>&>;
};

// One comment preview carried inside a card, or one row of a comment list.
struct CommentData {
    std::string userName;    // the writer's full name; empty when absent
    std::string commentTime; // "created_at" as sent; empty when absent
    std::string commentText;
    std::optional<std::string> userImageURL; // the writer's picture (server file name)
    std::optional<std::int64_t> userId = std::nullopt; // the writer ("user" / "id")

    // `CommentData(json:)`: "user" / "full_name", "created_at" and "comment_text" read as
    // `stringValue` (so a number gives its decimal text), "user" / "file_name" only as a string,
    // "user" / "id" only as a whole number.
    static CommentData fromJSON(const JSON& json);
    // One comment per element of a JSON array, none skipped; none for any other value.
    static std::vector<CommentData> list(const JSON& list);

    friend bool operator==(const CommentData&, const CommentData&) = default;
};

static_assert(Comment<CommentData>);
