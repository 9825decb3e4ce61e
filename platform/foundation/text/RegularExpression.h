#pragma once

// Regular expressions (`NSRegularExpression`), on ICU's engine and syntax: a pattern is compiled
// once and searched for in texts. Texts are UTF-8; malformed bytes read as U+FFFD. A compiled
// expression is read-only and safe to share between threads.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cw {

class RegularExpression {
public:
    // `NSRegularExpression(pattern:options: [])`: none, with the reason in `error`, when the pattern
    // does not compile.
    static std::optional<RegularExpression> make(std::string_view pattern, std::string* error = nullptr);

    // The text of every match, in order of occurrence, searched over the whole text
    // (`matches(in:range:)` with each match's range read back).
    std::vector<std::string> matches(std::string_view text) const;

    struct Compiled;

private:
    explicit RegularExpression(std::shared_ptr<const Compiled> compiled) : compiled_(std::move(compiled)) {}
    std::shared_ptr<const Compiled> compiled_;
};

} // namespace cw
