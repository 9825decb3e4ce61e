#pragma once

// A row (or item) in a section of a table or collection view.

#include <compare>
#include <functional>

struct IndexPath {
    long section = 0;
    long row = 0;
    IndexPath() = default;
    IndexPath(long row, long section) : section(section), row(row) {}
    static IndexPath forRow(long row, long section) { return {row, section}; }
    static IndexPath forItem(long item, long section) { return {item, section}; }
    long item() const { return row; }
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
    friend auto operator<=>(const IndexPath& a, const IndexPath& b) {
        if (auto c = a.section <=> b.section; c != 0) return c;
        return a.row <=> b.row;
    }
};

template <> struct std::hash<IndexPath> {
    std::size_t operator()(const IndexPath& p) const noexcept {
        return std::hash<long>()(p.section) * 1000003u ^ std::hash<long>()(p.row);
    }
};
