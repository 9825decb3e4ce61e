#pragma once

// A day separator of the feed: the day of a separator card ("Tue, Mar 05, 2019" in the device's
// language and time zone) between two thin grey lines. Made in code, registered with the feed's
// table under its class name; it cannot be selected or tapped. An absent or unreadable time leaves
// the label empty (the lines still show).

#include "Models/FeedResponse.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

class NSCoder;

class FeedTableTimeTagCell : public UITableViewCell {
public:
    static constexpr const char* identifier = "FeedTableTimeTagCell";
    // How the day is written for the member.
    static constexpr const char* dayFormat = "EEE, MMM dd, yyyy";

    FeedTableTimeTagCell(UITableViewCellStyle style, std::string reuseIdentifier);
    explicit FeedTableTimeTagCell(NSCoder&) = delete; // "init(coder:) has not been implemented"
    std::string className() const override { return "FeedTableTimeTagCell"; }

    void configure(const FeedResponse& card);

    // Made on first use.
    const std::shared_ptr<UILabel>& timeLabel();
    const std::shared_ptr<UIView>& leftHyphenLabel();
    const std::shared_ptr<UIView>& rightHyphenLabel();

    void updateConstraints() override;

private:
    bool didUpdateConstraints_ = false;
    std::shared_ptr<UILabel> timeLabel_;
    std::shared_ptr<UIView> leftHyphenLabel_;
    std::shared_ptr<UIView> rightHyphenLabel_;
};
