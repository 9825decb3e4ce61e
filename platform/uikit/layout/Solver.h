#pragma once

// A linear-constraint solver for layout: an incremental simplex in the manner of Cassowary.
//
// Constraints are linear relations `expression (<=, ==, >=) 0` over real variables, each with a
// priority from 1 to 1000. Priority 1000 is required: it holds exactly or the constraint is refused.
// Lower priorities are preferences; the solver minimises the weighted sum of their errors, where
// the weight grows so steeply with the priority that, for the sizes views have, a higher priority
// practically always wins over a lower one.
//
// Everything is incremental: constraints are added and removed one at a time, constants change in
// place, and edit variables take suggested values, each step re-optimising from the last solution.
// Values are read straight from the tableau, so there is no separate "update" step.

#include <cstdint>
#include <string>
#include <vector>

namespace cw::layout {

// A handle on one solver variable.
struct Variable {
    std::uint32_t id = 0;
    bool valid() const { return id != 0; }
    friend bool operator==(Variable, Variable) = default;
};

struct Term {
    Variable variable;
    double coefficient = 1.0;
};

// sum(coefficient * variable) + constant.
struct Expression {
    std::vector<Term> terms;
    double constant = 0.0;

    Expression() = default;
    Expression(double c) : constant(c) {}
    Expression(Variable v, double coefficient = 1.0) : terms{{v, coefficient}} {}

    Expression& add(Variable v, double coefficient) {
        terms.push_back({v, coefficient});
        return *this;
    }
    Expression& add(const Expression& e, double factor = 1.0) {
        for (const Term& t : e.terms)
            terms.push_back({t.variable, t.coefficient * factor});
        constant += e.constant * factor;
        return *this;
    }
};

enum class Relation { lessOrEqual, equal, greaterOrEqual };

constexpr double requiredPriority = 1000.0;

// A handle on a constraint added to the solver.
struct ConstraintId {
    std::uint32_t id = 0;
    bool valid() const { return id != 0; }
    friend bool operator==(ConstraintId, ConstraintId) = default;
};

// What happened to a constraint that was added or changed.
struct AddResult {
    // The new constraint, or invalid when it was refused.
    ConstraintId constraint;
    // When refused: the tags of the required constraints already present that, together with the
    // refused one, cannot all hold.
    std::vector<std::uint64_t> conflictingTags;
    bool ok() const { return constraint.valid(); }
};

class Solver {
public:
    Solver();
    ~Solver();
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // A variable, perhaps one released before.
    Variable newVariable();
    // Gives variables back once no constraint names them (their edits end with them): their
    // numbers go to the next new variables and constraints, so that a solver that sees items come
    // and go all day stays the size of what it holds at once.
    void releaseVariables(const std::vector<Variable>& variables);
    // The variable's value in the current solution (0 for variables no constraint mentions).
    double value(Variable v) const;

    // Adds `expression relation 0` at `priority` (clamped to 1...1000). `tag` is the caller's own
    // name for the constraint, handed back in conflict reports. A required constraint that cannot
    // hold together with the required ones present is refused and leaves the solver as it was.
    AddResult addConstraint(const Expression& expression, Relation relation, double priority,
                            std::uint64_t tag = 0);
    void removeConstraint(ConstraintId c);
    bool hasConstraint(ConstraintId c) const;
    // Changes the constant of the constraint's expression in place. A required constraint whose
    // new constant cannot hold is taken out of the solver; the result then says why, and
    // `constraint` is invalid. On success the returned id may differ from the one given.
    AddResult changeConstant(ConstraintId c, double newConstant);
    double constantOf(ConstraintId c) const;
    double priorityOf(ConstraintId c) const;

    // Edit variables: `v` is drawn towards each suggested value at `priority` (below required).
    void addEditVariable(Variable v, double priority);
    void removeEditVariable(Variable v);
    bool hasEditVariable(Variable v) const;
    void suggestValue(Variable v, double value);

    // The variables whose values may have changed since the last call, each once.
    void takeChangedVariables(std::vector<Variable>& out);

    std::size_t constraintCount() const;
    std::size_t rowCount() const;
    // The symbols numbered so far (variables and the constraints' own), in use or free for reuse.
    std::size_t symbolCount() const;

    struct Impl;

private:
    Impl* impl_;
};

// The objective weight of a non-required priority.
double weightForPriority(double priority);

} // namespace cw::layout
