#pragma once

// The summary row of a search: how many cards matched which text, over a line offering more
// results elsewhere. The cell has no behaviour of its own; whoever lays it out (the feed's table)
// makes the two labels, puts them in the content view and connects them here, and whoever shows it
// fills them. The cell does not own the labels: its content view does.

#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

class FeedSearchResultsCell : public UITableViewCell {
public:
    // The reuse identifier the feed's table knows it by.
    static constexpr const char* identifier = "FeedSearchResultsCell";

    using UITableViewCell::UITableViewCell;
    std::string className() const override { return "FeedSearchResultsCell"; }

    std::weak_ptr<UILabel> descriptionLabel;
    std::weak_ptr<UILabel> subtitleLabel;
};
