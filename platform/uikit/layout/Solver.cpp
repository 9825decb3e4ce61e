#include "uikit/layout/Solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace cw::layout {

namespace {

constexpr double epsilon = 1.0e-8;

bool nearZero(double v) {
    return std::abs(v) < epsilon;
}

enum class SymbolType : std::uint8_t { invalid, external, slack, error, dummy };

struct Cell {
    std::uint32_t symbol;
    double coefficient;
};

// One row of the tableau: basic = constant + sum(coefficient * symbol), cells sorted by symbol.
struct Row {
    std::uint32_t basic = 0;
    double constant = 0.0;
    std::vector<Cell> cells;

    std::vector<Cell>::iterator find(std::uint32_t s) {
        return std::lower_bound(cells.begin(), cells.end(), s,
                                [](const Cell& c, std::uint32_t v) { return c.symbol < v; });
    }
    std::vector<Cell>::const_iterator find(std::uint32_t s) const {
        return std::lower_bound(cells.begin(), cells.end(), s,
                                [](const Cell& c, std::uint32_t v) { return c.symbol < v; });
    }
    double coefficientFor(std::uint32_t s) const {
        auto it = find(s);
        return it != cells.end() && it->symbol == s ? it->coefficient : 0.0;
    }
    void insert(std::uint32_t s, double coefficient) {
        auto it = find(s);
        if (it != cells.end() && it->symbol == s) {
            it->coefficient += coefficient;
            if (nearZero(it->coefficient)) cells.erase(it);
        } else if (!nearZero(coefficient)) {
            cells.insert(it, Cell{s, coefficient});
        }
    }
    // this += other * coefficient, merging the two sorted cell lists.
    void insert(const Row& other, double coefficient, std::vector<Cell>& scratch) {
        constant += other.constant * coefficient;
        scratch.clear();
        scratch.reserve(cells.size() + other.cells.size());
        auto a = cells.begin();
        auto b = other.cells.begin();
        while (a != cells.end() || b != other.cells.end()) {
            if (b == other.cells.end() || (a != cells.end() && a->symbol < b->symbol)) {
                scratch.push_back(*a++);
            } else if (a == cells.end() || b->symbol < a->symbol) {
                const double c = b->coefficient * coefficient;
                if (!nearZero(c)) scratch.push_back({b->symbol, c});
                ++b;
            } else {
                const double c = a->coefficient + b->coefficient * coefficient;
                if (!nearZero(c)) scratch.push_back({a->symbol, c});
                ++a;
                ++b;
            }
        }
        cells.swap(scratch);
    }
    void remove(std::uint32_t s) {
        auto it = find(s);
        if (it != cells.end() && it->symbol == s) cells.erase(it);
    }
    void reverseSign() {
        constant = -constant;
        for (Cell& c : cells)
            c.coefficient = -c.coefficient;
    }
    // Rewrites `0 = constant + ... + k*s + ...` as `s = ...`.
    void solveFor(std::uint32_t s) {
        auto it = find(s);
        const double factor = -1.0 / it->coefficient;
        cells.erase(it);
        constant *= factor;
        for (Cell& c : cells)
            c.coefficient *= factor;
    }
    // Rewrites `lhs = ... + k*rhs + ...` as `rhs = ...`.
    void solveFor(std::uint32_t lhs, std::uint32_t rhs) {
        insert(lhs, -1.0);
        solveFor(rhs);
    }
    // Replaces `s` by the expression of `row`; false when `s` does not occur.
    bool substitute(std::uint32_t s, const Row& row, std::vector<Cell>& scratch) {
        auto it = find(s);
        if (it == cells.end() || it->symbol != s) return false;
        const double c = it->coefficient;
        cells.erase(it);
        insert(row, c, scratch);
        return true;
    }
};

struct ConstraintRecord {
    Expression expression; // terms merged, as given
    Relation relation = Relation::equal;
    double priority = requiredPriority;
    double weight = 0.0;
    std::uint64_t tag = 0;
    std::uint32_t marker = 0;
    std::uint32_t other = 0;
    bool alive = false;
};

struct EditInfo {
    ConstraintId constraint;
    double value = 0.0;
};

} // namespace

double weightForPriority(double priority) {
    // One decade every 166 priority levels: 1 -> ~1, 250 -> ~32, 750 -> ~3e4, 999 -> ~1e6. Steep
    // enough that a preference beats every lower one over the distances views move, and flat
    // enough to keep the objective well inside double precision.
    return std::pow(10.0, std::clamp(priority, 1.0, 999.999) * 6.0 / 1000.0);
}

struct Solver::Impl {
    std::vector<SymbolType> types{SymbolType::invalid};
    std::vector<std::int32_t> owner{-1};    // symbol -> constraint index, for markers and errors
    std::vector<std::int32_t> rowIndex{-1}; // symbol -> index in rows, when basic
    std::vector<Row> rows;
    Row objective;
    Row artificial;
    bool hasArtificial = false;
    std::vector<std::uint32_t> infeasible;
    std::vector<ConstraintRecord> constraints{ConstraintRecord{}}; // index 0 unused
    std::vector<std::uint32_t> freeConstraints;
    std::unordered_map<std::uint32_t, EditInfo> edits;
    std::vector<Cell> scratch;
    std::size_t liveConstraints = 0;
    std::vector<std::uint8_t> changedFlag{0};
    std::vector<std::uint32_t> changed;
    // Symbols of removed constraints and released variables, for the next ones to take.
    std::vector<std::uint32_t> freeSymbols;

    void touch(std::uint32_t s) {
        if (types[s] == SymbolType::external && !changedFlag[s]) {
            changedFlag[s] = 1;
            changed.push_back(s);
        }
    }

    std::uint32_t newSymbol(SymbolType t) {
        if (!freeSymbols.empty()) {
            const std::uint32_t s = freeSymbols.back();
            freeSymbols.pop_back();
            types[s] = t;
            return s;
        }
        types.push_back(t);
        owner.push_back(-1);
        rowIndex.push_back(-1);
        changedFlag.push_back(0);
        return static_cast<std::uint32_t>(types.size() - 1);
    }

    // `s` must be in no row, not basic and not waiting in `changed`.
    void freeSymbol(std::uint32_t s) {
        types[s] = SymbolType::invalid;
        owner[s] = -1;
        freeSymbols.push_back(s);
    }

    Row* rowFor(std::uint32_t s) {
        const std::int32_t i = rowIndex[s];
        return i < 0 ? nullptr : &rows[static_cast<std::size_t>(i)];
    }

    Row takeRow(std::size_t index) {
        Row r = std::move(rows[index]);
        rowIndex[r.basic] = -1;
        touch(r.basic);
        if (index + 1 != rows.size()) {
            rows[index] = std::move(rows.back());
            rowIndex[rows[index].basic] = static_cast<std::int32_t>(index);
        }
        rows.pop_back();
        return r;
    }

    void putRow(std::uint32_t basic, Row&& r) {
        r.basic = basic;
        touch(basic);
        rowIndex[basic] = static_cast<std::int32_t>(rows.size());
        rows.push_back(std::move(r));
    }

    bool restricted(std::uint32_t s) const { return types[s] != SymbolType::external; }

    void substitute(std::uint32_t s, const Row& row) {
        for (Row& r : rows) {
            if (!r.substitute(s, row, scratch)) continue;
            touch(r.basic);
            if (restricted(r.basic) && r.constant < 0.0) infeasible.push_back(r.basic);
        }
        objective.substitute(s, row, scratch);
        if (hasArtificial) artificial.substitute(s, row, scratch);
    }

    void pivot(std::size_t leavingIndex, std::uint32_t entering) {
        Row r = takeRow(leavingIndex);
        r.solveFor(r.basic, entering);
        substitute(entering, r);
        putRow(entering, std::move(r));
    }

    // The lowest symbol with a negative cost (Bland's rule keeps degenerate pivots from cycling).
    std::uint32_t enteringSymbol(const Row& obj) const {
        for (const Cell& c : obj.cells)
            if (c.coefficient < -epsilon && types[c.symbol] != SymbolType::dummy) return c.symbol;
        return 0;
    }

    std::int64_t leavingRow(std::uint32_t entering) const {
        double best = std::numeric_limits<double>::max();
        std::int64_t found = -1;
        std::uint32_t foundBasic = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            if (!restricted(r.basic)) continue;
            const double c = r.coefficientFor(entering);
            if (c >= -epsilon) continue;
            const double ratio = -r.constant / c;
            if (ratio < best - epsilon || (ratio < best + epsilon && r.basic < foundBasic)) {
                best = std::min(best, ratio);
                found = static_cast<std::int64_t>(i);
                foundBasic = r.basic;
            }
        }
        return found;
    }

    void optimize(Row& obj) {
        for (int guard = 0; guard < 100000; ++guard) {
            const std::uint32_t entering = enteringSymbol(obj);
            if (entering == 0) return;
            const std::int64_t leaving = leavingRow(entering);
            if (leaving < 0) return; // unbounded: cannot happen with non-negative weights
            pivot(static_cast<std::size_t>(leaving), entering);
        }
    }

    bool dualOptimize() {
        while (!infeasible.empty()) {
            const std::uint32_t leaving = infeasible.back();
            infeasible.pop_back();
            const std::int32_t index = rowIndex[leaving];
            if (index < 0) continue;
            const Row& r = rows[static_cast<std::size_t>(index)];
            if (nearZero(r.constant) || r.constant >= 0.0) continue;
            std::uint32_t entering = 0;
            double best = std::numeric_limits<double>::max();
            for (const Cell& c : r.cells) {
                if (c.coefficient > epsilon && types[c.symbol] != SymbolType::dummy) {
                    const double ratio = objective.coefficientFor(c.symbol) / c.coefficient;
                    if (ratio < best) {
                        best = ratio;
                        entering = c.symbol;
                    }
                }
            }
            if (entering == 0) {
                infeasible.clear();
                return false;
            }
            pivot(static_cast<std::size_t>(index), entering);
        }
        return true;
    }

    Row createRow(ConstraintRecord& rec) {
        Row row;
        // Values that are not numbers would poison every row they touch: they count as 0.
        row.constant = std::isfinite(rec.expression.constant) ? rec.expression.constant : 0.0;
        for (const Term& t : rec.expression.terms) {
            if (!std::isfinite(t.coefficient) || nearZero(t.coefficient) || !t.variable.valid()) continue;
            if (const Row* basic = rowFor(t.variable.id)) {
                row.insert(*basic, t.coefficient, scratch);
            } else {
                row.insert(t.variable.id, t.coefficient);
            }
        }
        const bool required = rec.priority >= requiredPriority;
        if (rec.relation == Relation::equal) {
            if (required) {
                rec.marker = newSymbol(SymbolType::dummy);
                row.insert(rec.marker, 1.0);
            } else {
                rec.marker = newSymbol(SymbolType::error);
                rec.other = newSymbol(SymbolType::error);
                row.insert(rec.marker, -1.0);
                row.insert(rec.other, 1.0);
                objective.insert(rec.marker, rec.weight);
                objective.insert(rec.other, rec.weight);
            }
        } else {
            const double c = rec.relation == Relation::lessOrEqual ? 1.0 : -1.0;
            rec.marker = newSymbol(SymbolType::slack);
            row.insert(rec.marker, c);
            if (!required) {
                rec.other = newSymbol(SymbolType::error);
                row.insert(rec.other, -c);
                objective.insert(rec.other, rec.weight);
            }
        }
        if (row.constant < 0.0) row.reverseSign();
        return row;
    }

    std::uint32_t chooseSubject(const Row& row, const ConstraintRecord& rec) const {
        for (const Cell& c : row.cells)
            if (types[c.symbol] == SymbolType::external) return c.symbol;
        for (std::uint32_t s : {rec.marker, rec.other}) {
            if (s == 0) continue;
            const SymbolType t = types[s];
            if ((t == SymbolType::slack || t == SymbolType::error) && row.coefficientFor(s) < 0.0) return s;
        }
        return 0;
    }

    bool allDummies(const Row& row) const {
        return std::all_of(row.cells.begin(), row.cells.end(),
                           [&](const Cell& c) { return types[c.symbol] == SymbolType::dummy; });
    }

    // Tags of the required constraints whose markers occur in `row` (other than `self`).
    std::vector<std::uint64_t> explain(const Row& row, std::int32_t self) const {
        std::vector<std::uint64_t> tags;
        for (const Cell& c : row.cells) {
            const std::int32_t o = owner[c.symbol];
            if (o < 0 || o == self) continue;
            const ConstraintRecord& rec = constraints[static_cast<std::size_t>(o)];
            if (rec.alive && rec.priority >= requiredPriority &&
                std::find(tags.begin(), tags.end(), rec.tag) == tags.end())
                tags.push_back(rec.tag);
        }
        return tags;
    }

    // Phase one for a row with no obvious subject; false when the row cannot be satisfied, in
    // which case the tableau is left as it was before the row (up to equivalent pivots).
    bool addWithArtificial(const Row& row, std::int32_t self, std::vector<std::uint64_t>& conflicts) {
        const std::uint32_t art = newSymbol(SymbolType::slack);
        const bool added = phaseOne(art, row, self, conflicts);
        // Whichever way it went, the artificial symbol is in no row any more.
        freeSymbol(art);
        return added;
    }

    bool phaseOne(std::uint32_t art, const Row& row, std::int32_t self,
                  std::vector<std::uint64_t>& conflicts) {
        Row copy = row;
        putRow(art, std::move(copy));
        artificial = row;
        artificial.basic = 0;
        hasArtificial = true;
        optimize(artificial);
        const bool success = nearZero(artificial.constant);
        hasArtificial = false;
        if (const std::int32_t index = rowIndex[art]; index >= 0) {
            Row r = takeRow(static_cast<std::size_t>(index));
            if (!success) {
                conflicts = explain(r, self);
                return false;
            }
            if (r.cells.empty()) return success;
            std::uint32_t entering = 0;
            for (const Cell& c : r.cells) {
                const SymbolType t = types[c.symbol];
                if (t == SymbolType::slack || t == SymbolType::error) {
                    entering = c.symbol;
                    break;
                }
            }
            if (entering == 0) {
                conflicts = explain(r, self);
                return false;
            }
            r.solveFor(art, entering);
            substitute(entering, r);
            putRow(entering, std::move(r));
        }
        for (Row& r : rows)
            r.remove(art);
        objective.remove(art);
        return success;
    }

    // Inserts the constraint at `index` (its record filled in); false and the conflicting tags
    // when a required constraint cannot hold.
    bool insert(std::uint32_t index, std::vector<std::uint64_t>& conflicts) {
        ConstraintRecord& rec = constraints[index];
        rec.weight = weightForPriority(rec.priority);
        rec.marker = rec.other = 0;
        Row row = createRow(rec);
        const auto self = static_cast<std::int32_t>(index);
        owner[rec.marker] = self;
        if (rec.other) owner[rec.other] = self;
        rec.alive = true;
        std::uint32_t subject = chooseSubject(row, rec);
        if (subject == 0 && allDummies(row)) {
            if (!nearZero(row.constant)) {
                conflicts = explain(row, self);
                rec.alive = false;
                return false;
            }
            subject = rec.marker;
        }
        if (subject == 0) {
            if (!addWithArtificial(row, self, conflicts)) {
                rec.alive = false;
                optimize(objective);
                return false;
            }
        } else {
            row.solveFor(subject);
            substitute(subject, row);
            putRow(subject, std::move(row));
        }
        optimize(objective);
        return true;
    }

    void removeEffects(const ConstraintRecord& rec) {
        for (std::uint32_t s : {rec.marker, rec.other}) {
            if (s == 0 || types[s] != SymbolType::error) continue;
            if (const Row* r = rowFor(s)) {
                objective.insert(*r, -rec.weight, scratch);
            } else {
                objective.insert(s, -rec.weight);
            }
        }
    }

    std::int64_t markerLeavingRow(std::uint32_t marker) const {
        double r1 = std::numeric_limits<double>::max(), r2 = r1;
        std::int64_t first = -1, second = -1, third = -1;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            const double c = r.coefficientFor(marker);
            if (c == 0.0) continue;
            if (!restricted(r.basic)) {
                third = static_cast<std::int64_t>(i);
            } else if (c < 0.0) {
                const double ratio = -r.constant / c;
                if (ratio < r1) {
                    r1 = ratio;
                    first = static_cast<std::int64_t>(i);
                }
            } else {
                const double ratio = r.constant / c;
                if (ratio < r2) {
                    r2 = ratio;
                    second = static_cast<std::int64_t>(i);
                }
            }
        }
        return first >= 0 ? first : (second >= 0 ? second : third);
    }

    void erase(std::uint32_t index) {
        ConstraintRecord& rec = constraints[index];
        removeEffects(rec);
        if (const std::int32_t ri = rowIndex[rec.marker]; ri >= 0) {
            takeRow(static_cast<std::size_t>(ri));
        } else {
            const std::int64_t leaving = markerLeavingRow(rec.marker);
            if (leaving >= 0) {
                Row r = takeRow(static_cast<std::size_t>(leaving));
                r.solveFor(r.basic, rec.marker);
                substitute(rec.marker, r);
            }
        }
        // Drop the constraint's own symbols wherever rounding left a trace of them, and give them
        // back. An error symbol that pivoting made basic would keep a row of its own that no
        // longer means anything (nothing else mentions a basic symbol): that row goes too.
        for (std::uint32_t s : {rec.marker, rec.other}) {
            if (s == 0) continue;
            if (const std::int32_t ri = rowIndex[s]; ri >= 0) takeRow(static_cast<std::size_t>(ri));
            for (Row& r : rows)
                r.remove(s);
            objective.remove(s);
            freeSymbol(s);
        }
        rec.alive = false;
        optimize(objective);
    }

    // Moves the constant of the live constraint `index` by `delta` in place.
    void shiftConstant(const ConstraintRecord& rec, double delta) {
        // The marker enters the constraint's original row with a known coefficient, so a change
        // of that row's constant is the same as a shift of the marker; every row that mentions
        // the marker moves accordingly.
        double markerCoefficient = 1.0;
        if (rec.relation == Relation::equal) {
            markerCoefficient = rec.priority >= requiredPriority ? 1.0 : -1.0;
        } else {
            markerCoefficient = rec.relation == Relation::lessOrEqual ? 1.0 : -1.0;
        }
        // createRow may have reversed the row; a reversal flips constant and marker together, so
        // the shift of the marker is the same either way.
        const double d = delta / markerCoefficient;
        if (Row* r = rowFor(rec.marker)) {
            r->constant -= d;
            touch(r->basic);
            if (restricted(r->basic) && r->constant < 0.0) infeasible.push_back(r->basic);
            return;
        }
        for (Row& r : rows) {
            const double k = r.coefficientFor(rec.marker);
            if (k == 0.0) continue;
            r.constant += k * d;
            touch(r.basic);
            if (restricted(r.basic) && r.constant < 0.0) infeasible.push_back(r.basic);
        }
    }
};

Solver::Solver() : impl_(new Impl) {}
Solver::~Solver() {
    delete impl_;
}

Variable Solver::newVariable() {
    return Variable{impl_->newSymbol(SymbolType::external)};
}

void Solver::releaseVariables(const std::vector<Variable>& variables) {
    Impl& m = *impl_;
    std::vector<std::uint32_t> released;
    for (Variable v : variables) {
        if (!v.valid() || v.id >= m.types.size() || m.types[v.id] != SymbolType::external) continue;
        removeEditVariable(v);
        // No constraint names it: a row it is basic in, or a coefficient in one, is what rounding
        // left behind.
        if (const std::int32_t ri = m.rowIndex[v.id]; ri >= 0) m.takeRow(static_cast<std::size_t>(ri));
        m.types[v.id] = SymbolType::invalid;
        released.push_back(v.id);
    }
    if (released.empty()) return;
    auto isReleased = [&](const Cell& c) { return m.types[c.symbol] == SymbolType::invalid; };
    for (Row& r : m.rows)
        std::erase_if(r.cells, isReleased);
    std::erase_if(m.objective.cells, isReleased);
    std::erase_if(m.changed, [&](std::uint32_t s) { return m.types[s] == SymbolType::invalid; });
    for (std::uint32_t s : released) {
        m.changedFlag[s] = 0;
        m.freeSymbol(s);
    }
}

double Solver::value(Variable v) const {
    if (!v.valid() || v.id >= impl_->rowIndex.size()) return 0.0;
    const Row* r = impl_->rowFor(v.id);
    return r ? r->constant : 0.0;
}

AddResult Solver::addConstraint(const Expression& expression, Relation relation, double priority,
                                std::uint64_t tag) {
    std::uint32_t index;
    if (!impl_->freeConstraints.empty()) {
        index = impl_->freeConstraints.back();
        impl_->freeConstraints.pop_back();
    } else {
        index = static_cast<std::uint32_t>(impl_->constraints.size());
        impl_->constraints.emplace_back();
    }
    ConstraintRecord& rec = impl_->constraints[index];
    rec = ConstraintRecord{};
    rec.expression = expression;
    if (!std::isfinite(rec.expression.constant)) rec.expression.constant = 0.0;
    rec.relation = relation;
    rec.priority = std::isfinite(priority) ? std::clamp(priority, 1.0, requiredPriority) : requiredPriority;
    rec.tag = tag;
    AddResult result;
    if (impl_->insert(index, result.conflictingTags)) {
        result.constraint = ConstraintId{index};
        ++impl_->liveConstraints;
    } else {
        impl_->freeConstraints.push_back(index);
    }
    return result;
}

bool Solver::hasConstraint(ConstraintId c) const {
    return c.valid() && c.id < impl_->constraints.size() && impl_->constraints[c.id].alive;
}

void Solver::removeConstraint(ConstraintId c) {
    if (!hasConstraint(c)) return;
    impl_->erase(c.id);
    impl_->freeConstraints.push_back(c.id);
    --impl_->liveConstraints;
}

double Solver::constantOf(ConstraintId c) const {
    return hasConstraint(c) ? impl_->constraints[c.id].expression.constant : 0.0;
}

double Solver::priorityOf(ConstraintId c) const {
    return hasConstraint(c) ? impl_->constraints[c.id].priority : 0.0;
}

AddResult Solver::changeConstant(ConstraintId c, double newConstant) {
    AddResult result;
    if (!hasConstraint(c)) return result;
    Impl& m = *impl_;
    ConstraintRecord& rec = m.constraints[c.id];
    result.constraint = c;
    if (!std::isfinite(newConstant)) return result;
    const double delta = newConstant - rec.expression.constant;
    if (delta == 0.0) return result;
    const bool redundantRequired = rec.priority >= requiredPriority && m.rowIndex[rec.marker] >= 0 &&
                                   m.types[rec.marker] == SymbolType::dummy;
    if (!redundantRequired) {
        m.shiftConstant(rec, delta);
        if (m.dualOptimize()) {
            rec.expression.constant = newConstant;
            return result;
        }
        // Only a required constraint can fail here: put the old constant back, then take the
        // constraint out and try it again from scratch, which explains the conflict.
        m.shiftConstant(rec, -delta);
        m.dualOptimize();
    }
    m.erase(c.id);
    rec.expression.constant = newConstant;
    if (!m.insert(c.id, result.conflictingTags)) {
        result.constraint = ConstraintId{};
        m.freeConstraints.push_back(c.id);
        --m.liveConstraints;
    }
    return result;
}

void Solver::addEditVariable(Variable v, double priority) {
    if (hasEditVariable(v)) return;
    const double p = std::min(priority, requiredPriority - 0.001);
    const AddResult r = addConstraint(Expression(v), Relation::equal, p);
    impl_->edits[v.id] = EditInfo{r.constraint, 0.0};
}

void Solver::removeEditVariable(Variable v) {
    auto it = impl_->edits.find(v.id);
    if (it == impl_->edits.end()) return;
    removeConstraint(it->second.constraint);
    impl_->edits.erase(it);
}

bool Solver::hasEditVariable(Variable v) const {
    return impl_->edits.count(v.id) != 0;
}

void Solver::suggestValue(Variable v, double value) {
    auto it = impl_->edits.find(v.id);
    if (it == impl_->edits.end()) return;
    it->second.value = value;
    changeConstant(it->second.constraint, -value);
}

void Solver::takeChangedVariables(std::vector<Variable>& out) {
    for (std::uint32_t s : impl_->changed) {
        impl_->changedFlag[s] = 0;
        out.push_back(Variable{s});
    }
    impl_->changed.clear();
}

std::size_t Solver::constraintCount() const {
    return impl_->liveConstraints;
}

std::size_t Solver::rowCount() const {
    return impl_->rows.size();
}

std::size_t Solver::symbolCount() const {
    return impl_->types.size() - 1;
}

} // namespace cw::layout
