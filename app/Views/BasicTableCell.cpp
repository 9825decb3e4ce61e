#include "Views/BasicTableCell.h"

std::shared_ptr<UIImageView> BasicTableCell::imageView() {
    if (auto own = imageView_.lock()) return own;
    return UITableViewCell::imageView();
}

std::shared_ptr<UILabel> BasicTableCell::textLabel() {
    if (auto own = textLabel_.lock()) return own;
    return UITableViewCell::textLabel();
}

std::shared_ptr<UILabel> BasicTableCell::detailTextLabel() {
    if (auto own = detailTextLabel_.lock()) return own;
    return UITableViewCell::detailTextLabel();
}
