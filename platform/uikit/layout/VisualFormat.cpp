#include "uikit/layout/VisualFormat.h"

#include <cctype>
#include <cstdlib>

namespace cw::layout::vfl {

namespace {

struct Failure {
    ParseError error;
};

class Parser {
public:
    Parser(std::string_view text, const Metrics& metrics) : s_(text), metrics_(metrics) {}

    Format run() {
        Format f;
        skipSpaces();
        if (s_.size() >= pos_ + 2 && (s_[pos_] == 'H' || s_[pos_] == 'V') && s_[pos_ + 1] == ':') {
            f.vertical = s_[pos_] == 'V';
            pos_ += 2;
        }
        if (accept('|')) f.leadingSuperview = connection();
        f.views.push_back(view());
        while (true) {
            skipSpaces();
            if (atEnd()) break;
            Connection c = connection();
            if (accept('|')) {
                f.trailingSuperview = c;
                break;
            }
            if (peek() != '[') fail("expected a view or '|'");
            f.between.push_back(c);
            f.views.push_back(view());
        }
        skipSpaces();
        if (!atEnd()) fail("unexpected text after the last '|'");
        return f;
    }

private:
    std::string_view s_;
    const Metrics& metrics_;
    std::size_t pos_ = 0;

    [[noreturn]] void fail(const std::string& message) { throw Failure{ParseError{message, pos_}}; }
    bool atEnd() const { return pos_ >= s_.size(); }
    char peek() {
        skipSpaces();
        return atEnd() ? '\0' : s_[pos_];
    }
    void skipSpaces() {
        while (!atEnd() && std::isspace(static_cast<unsigned char>(s_[pos_])))
            ++pos_;
    }
    bool accept(char c) {
        if (peek() != c) return false;
        ++pos_;
        return true;
    }
    void expect(char c) {
        if (!accept(c)) fail(std::string("expected '") + c + "'");
    }

    static bool nameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
    static bool nameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

    std::string name() {
        skipSpaces();
        const std::size_t start = pos_;
        if (atEnd() || !nameStart(s_[pos_])) fail("expected a name");
        while (!atEnd() && nameChar(s_[pos_]))
            ++pos_;
        return std::string(s_.substr(start, pos_ - start));
    }

    std::optional<double> number() {
        skipSpaces();
        const std::size_t start = pos_;
        std::size_t p = pos_;
        if (p < s_.size() && (s_[p] == '-' || s_[p] == '+')) ++p;
        const std::size_t digits = p;
        while (p < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[p])) || s_[p] == '.'))
            ++p;
        if (p == digits) return std::nullopt;
        const std::string text(s_.substr(start, p - start));
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size()) fail("malformed number '" + text + "'");
        pos_ = p;
        return v;
    }

    // A number or a metric.
    double constantOrMetric() {
        if (auto value = number()) return *value;
        const std::size_t at = pos_;
        const std::string n = name();
        auto it = metrics_.find(n);
        if (it == metrics_.end()) {
            pos_ = at;
            fail("unknown metric '" + n + "'");
        }
        return it->second;
    }

    Predicate predicate(bool allowViews) {
        Predicate p;
        skipSpaces();
        if (s_.substr(pos_, 2) == "==") {
            pos_ += 2;
        } else if (s_.substr(pos_, 2) == "<=") {
            p.relation = Relation::lessOrEqual;
            pos_ += 2;
        } else if (s_.substr(pos_, 2) == ">=") {
            p.relation = Relation::greaterOrEqual;
            pos_ += 2;
        }
        if (auto value = number()) {
            p.constant = *value;
        } else {
            const std::size_t at = pos_;
            const std::string n = name();
            if (auto it = metrics_.find(n); it != metrics_.end()) {
                p.constant = it->second;
            } else if (allowViews) {
                p.viewName = n;
            } else {
                pos_ = at;
                fail("unknown metric '" + n + "'");
            }
        }
        if (accept('@')) {
            const double priority = constantOrMetric();
            if (priority < 1 || priority > 1000) fail("priority must be between 1 and 1000");
            p.priority = priority;
        }
        return p;
    }

    std::vector<Predicate> predicateList(bool allowViews) {
        std::vector<Predicate> list;
        expect('(');
        do {
            list.push_back(predicate(allowViews));
        } while (accept(','));
        expect(')');
        return list;
    }

    Connection connection() {
        Connection c;
        if (!accept('-')) return c; // flush
        const char next = peek();
        if (next == '[' || next == '|') {
            c.kind = Connection::Kind::standard;
            return c;
        }
        c.kind = Connection::Kind::explicitSpacing;
        if (next == '(') {
            c.predicates = predicateList(false);
        } else {
            c.predicates.push_back(predicate(false));
        }
        expect('-');
        return c;
    }

    ViewTerm view() {
        ViewTerm v;
        expect('[');
        v.name = name();
        if (peek() == '(') v.size = predicateList(true);
        expect(']');
        return v;
    }
};

} // namespace

std::variant<Format, ParseError> parse(std::string_view format, const Metrics& metrics) {
    try {
        return Parser(format, metrics).run();
    } catch (const Failure& f) {
        return f.error;
    }
}

} // namespace cw::layout::vfl
