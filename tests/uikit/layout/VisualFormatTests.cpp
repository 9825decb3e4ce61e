#include "uikit/layout/VisualFormat.h"

#include <gtest/gtest.h>

using namespace cw::layout;
using namespace cw::layout::vfl;

namespace {

Format ok(std::string_view text, const Metrics& m = {}) {
    auto r = parse(text, m);
    if (auto* e = std::get_if<ParseError>(&r)) {
        ADD_FAILURE() << text << ": " << e->message << " at " << e->position;
        return {};
    }
    return std::get<Format>(r);
}

ParseError bad(std::string_view text, const Metrics& m = {}) {
    auto r = parse(text, m);
    if (std::holds_alternative<Format>(r)) {
        ADD_FAILURE() << text << " parsed";
        return {};
    }
    return std::get<ParseError>(r);
}

} // namespace

TEST(VisualFormat, EdgesConnectionsAndOrientation) {
    Format f = ok("|-[a]-8-[b][c]-|");
    EXPECT_FALSE(f.vertical);
    ASSERT_TRUE(f.leadingSuperview && f.trailingSuperview);
    EXPECT_EQ(f.leadingSuperview->kind, Connection::Kind::standard);
    ASSERT_EQ(f.views.size(), 3u);
    ASSERT_EQ(f.between.size(), 2u);
    EXPECT_EQ(f.between[0].kind, Connection::Kind::explicitSpacing);
    EXPECT_EQ(*f.between[0].predicates[0].constant, 8);
    EXPECT_EQ(f.between[1].kind, Connection::Kind::flush);
    EXPECT_EQ(f.trailingSuperview->kind, Connection::Kind::standard);

    Format v = ok("V:|[line]|");
    EXPECT_TRUE(v.vertical);
    EXPECT_EQ(v.leadingSuperview->kind, Connection::Kind::flush);
    EXPECT_EQ(v.trailingSuperview->kind, Connection::Kind::flush);

    Format h = ok("H:[view]");
    EXPECT_FALSE(h.leadingSuperview.has_value());
    EXPECT_FALSE(h.trailingSuperview.has_value());
}

TEST(VisualFormat, PredicatesWithMetricsRelationsAndPriorities) {
    const Metrics m{{"margin", 16}, {"spacing", 4}, {"high", 999}};
    Format f = ok("|-(margin@999)-[view(>=50,<=spacing@high)]->=margin-|", m);
    const Predicate& lead = f.leadingSuperview->predicates.at(0);
    EXPECT_EQ(*lead.constant, 16);
    EXPECT_EQ(lead.priority, 999);
    ASSERT_EQ(f.views[0].size.size(), 2u);
    EXPECT_EQ(f.views[0].size[0].relation, Relation::greaterOrEqual);
    EXPECT_EQ(*f.views[0].size[1].constant, 4);
    EXPECT_EQ(f.views[0].size[1].relation, Relation::lessOrEqual);
    EXPECT_EQ(f.views[0].size[1].priority, 999);
    const Predicate& trail = f.trailingSuperview->predicates.at(0);
    EXPECT_EQ(trail.relation, Relation::greaterOrEqual);
    EXPECT_EQ(*trail.constant, 16);

    Format eq = ok("[previousView][line(spacing)][view(==previousView)]", m);
    EXPECT_EQ(eq.views[2].size[0].viewName, "previousView");
    EXPECT_FALSE(eq.views[2].size[0].constant.has_value());
    EXPECT_EQ(*ok("V:[a]-(-5.5)-[b]").between[0].predicates[0].constant, -5.5);
    EXPECT_EQ(*ok("[a(0.5)]").views[0].size[0].constant, 0.5);
}

TEST(VisualFormat, MistakesSayWhereTheyAre) {
    EXPECT_NE(bad("|-[a]-").message.find("expected"), std::string::npos);
    ParseError e = bad("[a]-gap-[b]");
    EXPECT_NE(e.message.find("gap"), std::string::npos);
    EXPECT_EQ(e.position, 4u);
    EXPECT_NE(bad("[a(w@2000)]", {{"w", 1}}).message.find("priority"), std::string::npos);
    bad("");
    bad("V:");
    bad("[a]|[b]");
    bad("[a][b");
    bad("[1a]");
    bad("[a]-(8-[b]");
    bad("|-(view)-[a]"); // views are not spacings
}
