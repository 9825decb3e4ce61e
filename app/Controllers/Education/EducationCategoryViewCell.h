#pragma once

// The rows of the education library's categories and subcategories: a 40-point icon, the name (up
// to three lines) and a disclosure arrow. `EducationCategoryContentViewCell` is the same row
// without an icon, in bold.

#include "Models/EducationCategory.h"
#include "uikit/controls/UITableView.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>

class EducationCategoryViewCell : public UITableViewCell {
public:
    EducationCategoryViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    // `init(coder:)`.
    EducationCategoryViewCell();
    std::string className() const override { return "EducationCategoryViewCell"; }

    std::shared_ptr<UILabel> titleLabel = std::make_shared<UILabel>();
    std::shared_ptr<UIImageView> iconImageView = std::make_shared<UIImageView>();
    // "cwy_disclosure", made on first use.
    const std::shared_ptr<UIImageView>& disclosureArrow();

    void setup();
    // The record's name, and its icon from the server (a record without one shows none, also in a
    // reused row).
    void show(const EducationCategory& record);

private:
    std::shared_ptr<UIImageView> disclosureArrow_;
};

// The table of a categories or subcategories screen: the cell class under `identifier`, no lines
// below the last row, 80-point rows and inset separators.
void setUpCategoryTable(UITableView& table, const std::string& identifier);

class EducationCategoryContentViewCell : public UITableViewCell {
public:
    EducationCategoryContentViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    EducationCategoryContentViewCell();
    std::string className() const override { return "EducationCategoryContentViewCell"; }

    std::shared_ptr<UILabel> titleLabel = std::make_shared<UILabel>();
    const std::shared_ptr<UIImageView>& disclosureArrow();

    void setup();

private:
    std::shared_ptr<UIImageView> disclosureArrow_;
};
