#pragma once

// The visual format language of layout constraints, parsed into a description that the view
// layer turns into constraints:
//
//   format     := ("H:" | "V:")? ("|" connection)? view (connection view)* (connection "|")?
//   view       := "[" name ("(" predicate ("," predicate)* ")")? "]"
//   connection := ""                      flush, spacing 0
//               | "-"                     the standard spacing
//               | "-" number-or-metric "-" | "-" relation object ("@" priority)? "-"
//               | "-(" predicate ("," predicate)* ")-"
//   predicate  := relation? object ("@" priority)?     relation := "==" | "<=" | ">="
//   object     := number | metric name | view name (view predicates only)
//
// Numbers may carry a sign and decimals; metrics are looked up in the dictionary given.

#include "uikit/layout/Solver.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cw::layout::vfl {

struct Predicate {
    Relation relation = Relation::equal;
    // Either a constant or, in a view's own predicates, the name of a view of equal size.
    std::optional<double> constant;
    std::string viewName;
    double priority = requiredPriority;
};

struct Connection {
    enum class Kind { flush, standard, explicitSpacing };
    Kind kind = Kind::flush;
    std::vector<Predicate> predicates; // for explicitSpacing
};

struct ViewTerm {
    std::string name;
    std::vector<Predicate> size;
};

struct Format {
    bool vertical = false;
    std::optional<Connection> leadingSuperview; // present when the format starts with "|"
    std::vector<ViewTerm> views;
    std::vector<Connection> between;             // between views[i] and views[i + 1]
    std::optional<Connection> trailingSuperview; // present when the format ends with "|"
};

struct ParseError {
    std::string message;
    std::size_t position = 0;
};

using Metrics = std::map<std::string, double>;

std::variant<Format, ParseError> parse(std::string_view format, const Metrics& metrics);

// The platform's standard spacing between siblings, and between a view and its superview's edge.
constexpr double standardSiblingSpacing = 8.0;
constexpr double standardSuperviewSpacing = 20.0;

} // namespace cw::layout::vfl
