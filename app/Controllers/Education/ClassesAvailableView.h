#pragma once

// A card of one class (one detail row): its picture with a play sign over it, the title above and
// the description beside the picture. The card builds its views on its first constraint pass.

#include "Models/FeedTableData.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <optional>
#include <string>

class ClassesAvailableView : public UIView {
public:
    // The card of a row.
    explicit ClassesAvailableView(FeedTableData cellData);
    // `init(coder:)`: a card from an interface file, with no row.
    ClassesAvailableView() = default;
    std::string className() const override { return "ClassesAvailableView"; }

    bool didUpdateConstraints = false;
    std::optional<FeedTableData> cellData;

    // `videoIdentifer`: the row's video identifier.
    std::optional<std::string> videoIdentifer() const;

    const std::shared_ptr<UIImageView>& imageView();
    const std::shared_ptr<UIImageView>& playImageView();
    const std::shared_ptr<UILabel>& titleLabel();
    const std::shared_ptr<UILabel>& subTitleLabel();

    void updateConstraints() override;

private:
    std::shared_ptr<UIImageView> imageView_, playImageView_;
    std::shared_ptr<UILabel> titleLabel_, subTitleLabel_;
};
