// Auto Layout speed: a screen of 200 views held by about 800 constraints, built and solved, and
// then re-solved after one constant changes; also the solver alone on the same shape.

#include "uikit/layout/Solver.h"
#include "uikit/view/UIView.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace {

constexpr int kViews = 200;

struct Screen {
    std::shared_ptr<UIView> root;
    NSLayoutConstraintPtr firstTop;
    std::size_t constraints = 0;
};

// Two columns of rows chained top to bottom, each row pinned between margins with a height:
// four constraints a view.
Screen buildScreen() {
    Screen s;
    s.root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    std::shared_ptr<UIView> previous[2];
    for (int i = 0; i < kViews; ++i) {
        auto v = std::make_shared<UIView>();
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        s.root->addSubview(v);
        const int col = i % 2;
        std::map<std::string, std::shared_ptr<UIView>> views{{"v", v}};
        std::vector<NSLayoutConstraintPtr> cs;
        auto add = [&](const std::string& f) {
            auto more = NSLayoutConstraint::constraints(f, 0, {{"m", 16}, {"h", 20.0 + i % 7}}, views);
            cs.insert(cs.end(), more.begin(), more.end());
        };
        add(col == 0 ? "|-m-[v]" : "[v]-m-|");
        v->addConstraint(NSLayoutConstraint::make(v, NSLayoutAttribute::width, NSLayoutRelation::equal,
                                                  s.root, NSLayoutAttribute::width, 0.5, -24));
        add("V:[v(h)]");
        if (previous[col]) {
            views["p"] = previous[col];
            add("V:[p]-8-[v]");
        } else {
            add("V:|-m-[v]");
            if (col == 0) s.firstTop = cs.back();
        }
        s.root->addConstraints(cs);
        s.constraints += cs.size() + 1;
        previous[col] = v;
    }
    s.root->layoutIfNeeded();
    return s;
}

void BM_ScreenBuildAndSolve(benchmark::State& state) {
    std::size_t constraints = 0;
    for (auto _ : state) {
        Screen s = buildScreen();
        constraints = s.constraints;
        benchmark::DoNotOptimize(s.root->subviews().back()->frame());
    }
    state.counters["constraints"] = static_cast<double>(constraints);
}
BENCHMARK(BM_ScreenBuildAndSolve)->Unit(benchmark::kMillisecond);

void BM_ScreenResolveAfterConstantChange(benchmark::State& state) {
    Screen s = buildScreen();
    double top = 16;
    for (auto _ : state) {
        top = top == 16 ? 24 : 16;
        s.firstTop->setConstant(top);
        s.root->layoutIfNeeded();
        benchmark::DoNotOptimize(s.root->subviews()[kViews - 2]->frame());
    }
}
BENCHMARK(BM_ScreenResolveAfterConstantChange)->Unit(benchmark::kMicrosecond);

// The solver alone: 800 variables in the same chains, then one constant changing.
struct Chains {
    cw::layout::Solver solver;
    cw::layout::ConstraintId head;
    cw::layout::Variable last;
};

void buildChains(Chains& c) {
    using namespace cw::layout;
    Variable prevBottom[2];
    for (int i = 0; i < kViews; ++i) {
        const int col = i % 2;
        Variable x = c.solver.newVariable(), y = c.solver.newVariable(), w = c.solver.newVariable(),
                 h = c.solver.newVariable();
        c.solver.addConstraint(Expression(x).add(Expression(col == 0 ? -16.0 : -195.5)), Relation::equal,
                               1000);
        c.solver.addConstraint(Expression(w).add(Expression(-163.5)), Relation::equal, 1000);
        c.solver.addConstraint(Expression(h).add(Expression(-(20.0 + i % 7))), Relation::equal, 1000);
        Expression top(y);
        if (prevBottom[col].valid()) {
            top.add(prevBottom[col], -1);
            top.constant = -8;
            c.solver.addConstraint(top, Relation::equal, 1000);
        } else {
            top.constant = -16;
            auto r = c.solver.addConstraint(top, Relation::equal, 1000);
            if (col == 0) c.head = r.constraint;
        }
        // The bottom edge as a variable of its own, as the next row hangs from it.
        Variable bottom = c.solver.newVariable();
        Expression b(bottom);
        b.add(y, -1).add(h, -1);
        c.solver.addConstraint(b, Relation::equal, 1000);
        prevBottom[col] = bottom;
        c.last = bottom;
    }
}

void BM_SolverBuild(benchmark::State& state) {
    for (auto _ : state) {
        Chains c;
        buildChains(c);
        benchmark::DoNotOptimize(c.solver.value(c.last));
        state.counters["constraints"] = static_cast<double>(c.solver.constraintCount());
    }
}
BENCHMARK(BM_SolverBuild)->Unit(benchmark::kMillisecond);

void BM_SolverConstantChange(benchmark::State& state) {
    Chains c;
    buildChains(c);
    double k = -16;
    for (auto _ : state) {
        k = k == -16 ? -24 : -16;
        c.solver.changeConstant(c.head, k);
        benchmark::DoNotOptimize(c.solver.value(c.last));
    }
}
BENCHMARK(BM_SolverConstantChange)->Unit(benchmark::kMicrosecond);

} // namespace
