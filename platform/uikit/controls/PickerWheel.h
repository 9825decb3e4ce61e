#pragma once

// One wheel of a picker: a column of rows of equal height that turns as a scroll view scrolls. It
// follows a finger's drag, coasts after a flick and always comes to rest with one row in the middle
// between the picker's lines; a tap on a row above or below the middle turns it to that row, and a
// turn of the mouse wheel over it moves it a row a notch. Each time it comes to rest after a
// person turned it, `onRest` hears the middle row (once per rest, on the main run loop; a rest
// where it started hears it too, as a wheel let go where it was reports that row). Turning it from
// code (`showRow`) tells nobody.
//
// The rows are drawn by the wheel, clipped to it: the middle one larger and black, the others
// grey, and rows the owner disables (a day past the last allowed one) lighter still.

#include "uikit/controls/UIScrollView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cw {

class PickerWheel : public UIScrollView {
public:
    explicit PickerWheel(CGFloat rowHeight = 32);
    ~PickerWheel() override;
    std::string className() const override { return "PickerWheel"; }

    CGFloat rowHeight() const { return rowHeight_; }
    void setRowHeight(CGFloat height);
    long numberOfRows() const { return rows_; }
    // Sets the number of rows, keeping the middle row where it can (else the nearest).
    void setNumberOfRows(long rows);

    // The row nearest the middle now (it may be moving); -1 with no rows.
    long middleRow() const;
    // Turns to `row` (kept within the rows) from code: animated or at once, reporting nothing.
    void showRow(long row, bool animated);
    // Whether a finger holds it, or it coasts or turns towards a row.
    bool isTurning() const;

    std::function<void(long row)> onRest;
    std::function<std::optional<std::string>(long row)> titleForRow;
    // Rows that are shown but not chosen for good (none disabled when unset).
    std::function<bool(long row)> isRowEnabled;
    CGFloat middleFontSize = 21;
    CGFloat fontSize = 17;

    void scrollWheel(CGFloat notches) override;
    void draw(const CGRect& rect) override;
    void layoutSubviews() override;

protected:
    void contentOffsetDidChange() override;

private:
    struct Motion;
    CGFloat offsetFor(long row) const;
    long rowAt(CGFloat offsetY) const;
    void updateGeometry();
    // A person let the wheel go: it settles on the nearest row and reports it.
    void cameToRest();
    void turnTo(long row);

    CGFloat rowHeight_;
    long rows_ = 0;
    // The row an animated turn by a person is heading for; none for a turn from code.
    std::optional<long> heading_;
    bool reportAtRest_ = false;
    std::unique_ptr<Motion> motion_;
    std::shared_ptr<UITapGestureRecognizer> tap_;
};

} // namespace cw
