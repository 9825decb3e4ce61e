#include "Controllers/Feed/FeedTableViewCell.h"

#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Models/DateFormatting.h"
#include "Services/BaseHTTPService.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <algorithm>

namespace {

// Server paths hold one of these; any other picture text names an image shipped with the application.
bool isServerPicture(const std::string& text) {
    return text.find("images/upload") != std::string::npos || text.find("static-files/images") != std::string::npos;
}

// A picture of the card: always exactly its fixed height, whatever the size of the picture it shows
// (the stack lays its pictures out by the size they ask for).
class CardPictureView : public UIImageView {
public:
    std::string className() const override { return "UIImageView"; }
    CGSize intrinsicContentSize() const override {
        return {UIViewNoIntrinsicMetric, FeedTableViewCell::mainImageViewHeight};
    }
};

std::optional<UIFont> font(const char* name, CGFloat size) {
    return UIFont::named(name, size);
}

std::shared_ptr<UILabel> makeLabel(const char* fontName, CGFloat size, const UIColor& color, long lines) {
    auto label = std::make_shared<UILabel>();
    if (auto f = font(fontName, size)) label->setFont(*f);
    label->setTextColor(color);
    label->setNumberOfLines(lines);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    return label;
}

std::shared_ptr<UIStackView> makeContainerStack() {
    auto stack = std::make_shared<UIStackView>();
    stack->setTranslatesAutoresizingMaskIntoConstraints(false);
    return stack;
}

NSLayoutConstraintPtr pin(const NSLayoutItem& item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                          const NSLayoutItem& to, NSLayoutAttribute toAttribute, CGFloat constant = 0,
                          UILayoutPriority priority = UILayoutPriorityRequired) {
    auto c = NSLayoutConstraint::make(item, attribute, relation, to, toAttribute, 1.0, constant);
    c->setPriority(priority);
    return c;
}

NSLayoutConstraintPtr equal(const NSLayoutItem& item, NSLayoutAttribute attribute, const NSLayoutItem& to,
                            NSLayoutAttribute toAttribute, CGFloat constant = 0) {
    return pin(item, attribute, NSLayoutRelation::equal, to, toAttribute, constant);
}

NSLayoutConstraintPtr size(const NSLayoutItem& item, NSLayoutAttribute attribute, CGFloat value) {
    return NSLayoutConstraint::make(item, attribute, NSLayoutRelation::equal, nullptr,
                                    NSLayoutAttribute::notAnAttribute, 1.0, value);
}

using A = NSLayoutAttribute;
using R = NSLayoutRelation;

// Horizontal room inside the card, and the space between its parts.
constexpr CGFloat kInset = 12;
constexpr CGFloat kGap = 10;

FeedTableViewCell::CommentPreview makePreview(UIView& container) {
    FeedTableViewCell::CommentPreview p;
    p.stackView = makeContainerStack();
    p.imageView = std::make_shared<UIImageView>();
    p.imageView->setContentMode(UIViewContentMode::scaleAspectFill);
    p.imageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    p.nameLabel = makeLabel("Avenir-Heavy", 13, UIColorPalette::textColor(), 1);
    p.dateLabel = makeLabel("Avenir-Roman", 11, UIColorPalette::textPlaceholderColor(), 1);
    p.textLabel = makeLabel("Avenir-Roman", 13, UIColorPalette::textColor(), 0);
    p.nameLabel->setContentCompressionResistancePriority(UILayoutPriorityDefaultLow, UILayoutConstraintAxis::horizontal);
    p.dateLabel->setContentHuggingPriority(UILayoutPriorityDefaultHigh, UILayoutConstraintAxis::horizontal);
    auto& s = *p.stackView;
    s.addSubview(p.imageView);
    s.addSubview(p.nameLabel);
    s.addSubview(p.dateLabel);
    s.addSubview(p.textLabel);
    s.addConstraints({
        equal(p.imageView, A::leading, p.stackView, A::leading),
        equal(p.imageView, A::top, p.stackView, A::top),
        size(p.imageView, A::width, 42),
        size(p.imageView, A::height, 42),
        pin(p.imageView, A::bottom, R::lessThanOrEqual, p.stackView, A::bottom),
        equal(p.nameLabel, A::leading, p.imageView, A::trailing, 10),
        equal(p.nameLabel, A::top, p.stackView, A::top, 2),
        equal(p.dateLabel, A::leading, p.nameLabel, A::trailing, 6),
        equal(p.dateLabel, A::centerY, p.nameLabel, A::centerY),
        pin(p.dateLabel, A::trailing, R::lessThanOrEqual, p.stackView, A::trailing),
        equal(p.textLabel, A::leading, p.nameLabel, A::leading),
        equal(p.textLabel, A::top, p.nameLabel, A::bottom, 2),
        equal(p.textLabel, A::trailing, p.stackView, A::trailing),
        pin(p.textLabel, A::bottom, R::lessThanOrEqual, p.stackView, A::bottom),
        // As tall as the taller of the picture and the text.
        pin(p.stackView, A::bottom, R::equal, p.textLabel, A::bottom, 0, UILayoutPriorityDefaultHigh),
    });
    container.addSubview(p.stackView);
    return p;
}

} // namespace

FeedTableViewCell::FeedTableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)), writeCommentTGR(std::make_shared<UITapGestureRecognizer>()),
      commentOneTGR(std::make_shared<UITapGestureRecognizer>()),
      commentTwoTGR(std::make_shared<UITapGestureRecognizer>()),
      commentThreeTGR(std::make_shared<UITapGestureRecognizer>()) {}

FeedTableViewCell::FeedTableViewCell(NSCoder&) : FeedTableViewCell(UITableViewCellStyle::default_, nibName) {}

std::vector<std::shared_ptr<UIView>> FeedTableViewCell::loadNib() {
    auto cell = std::make_shared<FeedTableViewCell>(UITableViewCellStyle::default_, nibName);
    cell->setFrame({0, 0, 375, 400});
    const auto& content = cell->contentView();

    auto container = std::make_shared<UIView>();
    container->setBackgroundColor(UIColor::whiteColor());
    container->layer()->cornerRadius = 8;
    container->setTranslatesAutoresizingMaskIntoConstraints(false);
    content->addSubview(container);
    content->addConstraints({
        equal(container, A::leading, content, A::leading, 10),
        equal(container, A::trailing, content, A::trailing, -10),
        equal(container, A::top, content, A::top, 6),
        equal(container, A::bottom, content, A::bottom, -6),
    });
    cell->containerView = container;

    // The head: logo, title and time, and the star.
    auto head = makeContainerStack();
    auto icon = std::make_shared<UIImageView>();
    icon->setContentMode(UIViewContentMode::scaleAspectFill);
    icon->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto title = makeLabel("Avenir-Heavy", 16, UIColorPalette::textColor(), 1);
    auto date = makeLabel("Avenir-Roman", 12, UIColorPalette::textPlaceholderColor(), 1);
    head->addSubview(icon);
    head->addSubview(title);
    head->addSubview(date);
    head->addConstraints({
        equal(icon, A::leading, head, A::leading),
        equal(icon, A::top, head, A::top),
        equal(icon, A::bottom, head, A::bottom),
        size(icon, A::width, 48),
        size(icon, A::height, 48),
        equal(title, A::leading, icon, A::trailing, 10),
        equal(title, A::trailing, head, A::trailing),
        equal(title, A::top, head, A::top, 4),
        equal(date, A::leading, title, A::leading),
        equal(date, A::trailing, head, A::trailing),
        equal(date, A::top, title, A::bottom, 2),
    });
    container->addSubview(head);

    auto star = std::make_shared<UIButton>(UIButtonType::custom);
    star->setTranslatesAutoresizingMaskIntoConstraints(false);
    star->setAccessibilityIdentifier("bookmarkButton");
    container->addSubview(star);
    container->addConstraints({
        equal(head, A::leading, container, A::leading, kInset),
        equal(head, A::trailing, star, A::leading, -8),
        equal(star, A::trailing, container, A::trailing, -6),
        equal(star, A::centerY, icon, A::centerY),
        size(star, A::width, 40),
        size(star, A::height, 40),
    });
    std::weak_ptr<FeedTableViewCell> weakCell = cell;
    star->addAction(
        [weakCell](UIControl* sender) {
            if (auto c = weakCell.lock()) c->menuButtonTapped(dynamic_cast<UIButton*>(sender));
        },
        UIControlEventTouchUpInside);

    auto description = makeLabel("Avenir-Roman", 15, UIColorPalette::textColor(), 0);
    container->addSubview(description);

    auto large = std::make_shared<UIImageView>();
    large->setContentMode(UIViewContentMode::scaleAspectFill);
    large->setClipsToBounds(true);
    large->setTranslatesAutoresizingMaskIntoConstraints(false);
    large->addConstraint(size(large, A::height, 200));
    container->addSubview(large);

    auto pictures = std::make_shared<UIStackView>();
    pictures->setAxis(UILayoutConstraintAxis::vertical);
    pictures->setAlignment(UIStackViewAlignment::fill);
    pictures->setSpacing(4);
    pictures->setTranslatesAutoresizingMaskIntoConstraints(false);
    container->addSubview(pictures);

    // Write a comment: the bubble with the count on it, and the invitation.
    auto write = std::make_shared<UIStackView>();
    write->setAxis(UILayoutConstraintAxis::horizontal);
    write->setAlignment(UIStackViewAlignment::center);
    write->setSpacing(8);
    write->setTranslatesAutoresizingMaskIntoConstraints(false);
    write->setAccessibilityIdentifier("writeACommentView");
    auto bubble = std::make_shared<UIImageView>(UIImage::named("feed-comment-bubble"));
    bubble->setContentMode(UIViewContentMode::center);
    auto writeLabel = makeLabel("Avenir-Medium", 13, UIColorPalette::textPlaceholderColor(), 1);
    writeLabel->setText("Write a comment");
    writeLabel->setTranslatesAutoresizingMaskIntoConstraints(true);
    write->addArrangedSubview(bubble);
    write->addArrangedSubview(writeLabel);
    container->addSubview(write);

    for (auto& preview : cell->commentPreviews)
        preview = makePreview(*container);
    for (std::size_t i = 0; i < cell->commentPreviews.size(); ++i)
        cell->commentPreviews[i].stackView->setAccessibilityIdentifier("commentPreview" + std::to_string(i + 1));

    // Every part spans the card; the picture parts from edge to edge, the others inside the margins.
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{description})
        container->addConstraints({equal(v, A::leading, container, A::leading, kInset),
                                   equal(v, A::trailing, container, A::trailing, -kInset)});
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{large, pictures})
        container->addConstraints({equal(v, A::leading, container, A::leading),
                                   equal(v, A::trailing, container, A::trailing)});
    container->addConstraints({equal(write, A::leading, container, A::leading, kInset),
                               pin(write, A::trailing, R::lessThanOrEqual, container, A::trailing, -kInset)});
    for (const auto& p : cell->commentPreviews)
        container->addConstraints({equal(p.stackView, A::leading, container, A::leading, kInset),
                                   equal(p.stackView, A::trailing, container, A::trailing, -kInset)});

    cell->iconImageView = icon;
    cell->titleLabel = title;
    cell->dateLabel = date;
    cell->titleAndDateStackView = head;
    cell->menuButton = star;
    cell->descriptionLabel = description;
    cell->largeImageView = large;
    cell->mainImageViewStackView = pictures;
    cell->writeACommentStackView = write;
    cell->writeACommentIcon = bubble;
    return {cell};
}

void FeedTableViewCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    writeCommentTGR->addTarget(this, &FeedTableViewCell::writeACommentViewTapped);
    writeACommentStackView->addGestureRecognizer(writeCommentTGR);
    const std::array<std::shared_ptr<UITapGestureRecognizer>, 3> recognizers{commentOneTGR, commentTwoTGR,
                                                                           commentThreeTGR};
    const std::array<void (FeedTableViewCell::*)(), 3> actions{&FeedTableViewCell::commentOneViewTapped,
                                                               &FeedTableViewCell::commentTwoViewTapped,
                                                               &FeedTableViewCell::commentThreeViewTapped};
    for (std::size_t i = 0; i < recognizers.size(); ++i) {
        recognizers[i]->addTarget(this, actions[i]);
        commentPreviews[i].stackView->addGestureRecognizer(recognizers[i]);
    }
    mainImageViewStackView->setHidden(true);
    largeImageView->setHidden(true);
    setBackgroundColor(UIColorPalette::tableViewBackground());
    iconImageView->layer()->cornerRadius = 24;
    iconImageView->setClipsToBounds(true);
    for (const auto& preview : commentPreviews) {
        preview.imageView->layer()->cornerRadius = 21;
        preview.imageView->setClipsToBounds(true);
    }
    selectionStyle = UITableViewCellSelectionStyle::none;
    (void)writeACommentIconLabel();
    stackSections();
}

const std::shared_ptr<UIView>& FeedTableViewCell::iconImageViewBadge() {
    if (!iconImageViewBadge_) {
        auto badge = std::make_shared<UIView>();
        badge->setBackgroundColor(UIColor::redColor());
        badge->layer()->cornerRadius = 7;
        badge->setClipsToBounds(true);
        badge->setTranslatesAutoresizingMaskIntoConstraints(false);
        badge->setAccessibilityIdentifier("unreadBadge");
        titleAndDateStackView->addSubview(badge);
        titleAndDateStackView->addConstraints({
            equal(badge, A::trailing, iconImageView, A::trailing),
            equal(badge, A::top, iconImageView, A::top),
            size(badge, A::width, 14),
            size(badge, A::height, 14),
        });
        iconImageViewBadge_ = badge;
    }
    return iconImageViewBadge_;
}

const std::shared_ptr<UILabel>& FeedTableViewCell::writeACommentIconLabel() {
    if (!writeACommentIconLabel_) {
        auto label = std::make_shared<UILabel>();
        label->setTextColor(UIColor::whiteColor());
        label->setFont(UIFont::systemFont(11, UIFont::Weight::medium));
        label->setTextAlignment(NSTextAlignment::center);
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        const auto& icon = writeACommentIcon;
        icon->addSubview(label);
        icon->addConstraints({
            equal(label, A::leading, icon, A::leading, -3),
            equal(label, A::trailing, icon, A::trailing),
            equal(label, A::top, icon, A::top),
            equal(label, A::bottom, icon, A::bottom),
        });
        writeACommentIconLabel_ = label;
    }
    return writeACommentIconLabel_;
}

void FeedTableViewCell::configure(FeedResponse& card) {
    isBookMarked = card.bookmarked;
    cardType = card.cardType;
    titleLabel->setText(card.cardTitle.value_or(""));
    dateLabel->setText(card.dateText().value_or(""));

    const bool rendersHTML =
        card.cardType == CardType::educationContent || card.cardType == CardType::dailyUpdateChange;
    // The rendering is kept on the card: only its first showing pays for it.
    auto attributed = rendersHTML ? card.computeAttributedDescription() : nullptr;
    if (attributed)
        descriptionLabel->setAttributedText(*attributed);
    else
        descriptionLabel->setText(card.cardDescription.value_or(""));

    const auto picture =
        card.cardType == CardType::dailyUpdateChange ? BaseHTTPService::serverPictureURL(card.imageURL) : std::nullopt;
    if (picture) {
        largeImageView->setHidden(false);
        setImageWithURL(*largeImageView, *picture);
    } else {
        cancelImageDownloadTask(*largeImageView);
        largeImageView->setImage(nullptr);
        largeImageView->setHidden(true);
    }

    showPictures(card);

    menuButton->setImage(UIImage::named(card.bookmarked ? bookmarkedImage : notBookmarkedImage), UIControlStateNormal);

    if (card.cardType == CardType::educationContent || card.cardType == CardType::userPost ||
        card.cardType == CardType::dailyUpdateChange) {
        // No such face ships: the label keeps its own font.
        if (auto f = UIFont::named("Helvetica-Neue", 17)) descriptionLabel->setFont(*f);
    }

    showLogo(card);

    for (const auto& preview : commentPreviews)
        preview.stackView->setHidden(true);
    const std::size_t shown = std::min(card.latestComments.size(), commentPreviews.size());
    for (std::size_t i = 0; i < shown; ++i) {
        fillPreview(commentPreviews[i], card.latestComments[i]);
        commentPreviews[i].stackView->setHidden(false);
    }

    writeACommentIconLabel()->setText(card.commentsCount && *card.commentsCount >= 1
                                          ? std::to_string(*card.commentsCount)
                                          : std::string(firstCommentText));

    const bool unread = card.cardType && card.cardRead == false && card.cardType != CardType::dailyUpdateChange;
    iconImageViewBadge()->setHidden(!unread);

    stackSections();
}

void FeedTableViewCell::showPictures(const FeedResponse& card) {
    const auto kind = card.cardMediaType;
    if (kind != MediaType::png && kind != MediaType::jpeg && kind != MediaType::mp4) return;
    for (const auto& text : card.shownMedia()) {
        auto picture = std::make_shared<CardPictureView>();
        picture->setContentMode(UIViewContentMode::scaleAspectFill);
        picture->setClipsToBounds(true);
        if (isServerPicture(text))
            updateImageWith(*picture, text);
        else
            picture->setImage(UIImage::named(text));
        mainImageViewStackView->addArrangedSubview(picture);
    }
    if (!mainImageViewStackView->arrangedSubviews().empty()) mainImageViewStackView->setHidden(false);
}

void FeedTableViewCell::showLogo(const FeedResponse& card) {
    switch (card.sourceType()) {
    case FeedResponseSourceType::ashcombe:
        iconImageView->setImage(UIImage::named("ashcombe_card_logo"));
        return;
    case FeedResponseSourceType::cradleway:
        iconImageView->setImage(UIImage::named("cwy_card_logo"));
        return;
    case FeedResponseSourceType::unknown:
        break;
    }
    if (card.contextImageURL) {
        updateImageWith(*iconImageView, *card.contextImageURL);
        return;
    }
    iconImageView->setImage(UIImage::named(card.cardType == CardType::userPost ? "card_default_n" : "cwy_card_logo"));
}

void FeedTableViewCell::fillPreview(const CommentPreview& preview, const CommentData& comment) {
    if (comment.userImageURL)
        updateImageWith(*preview.imageView, *comment.userImageURL);
    else
        preview.imageView->setImage(UIImage::named(commenterPlaceholderImage));
    preview.nameLabel->setText(comment.userName);
    const auto date = DateFormatting::serverDateFormatter().date(comment.commentTime);
    preview.dateLabel->setText(date ? DateFormatting::relativeTimeText(*date) : comment.commentTime);
    preview.textLabel->setText(comment.commentText);
}

void FeedTableViewCell::prepareForReuse() {
    UITableViewCell::prepareForReuse();
    for (const auto& picture : std::vector<std::shared_ptr<UIView>>(mainImageViewStackView->arrangedSubviews()))
        picture->removeFromSuperview();
    mainImageViewStackView->setHidden(true);
    largeImageView->setHidden(true);
}

void FeedTableViewCell::stackSections() {
    const std::vector<std::shared_ptr<UIView>> sections{titleAndDateStackView,     descriptionLabel,
                                                        largeImageView,            mainImageViewStackView,
                                                        writeACommentStackView,    commentPreviews[0].stackView,
                                                        commentPreviews[1].stackView, commentPreviews[2].stackView};
    std::vector<bool> visibility;
    for (const auto& s : sections)
        visibility.push_back(!s->isHidden());
    if (visibility == stackedVisibility_) return;
    stackedVisibility_ = visibility;

    containerView->removeConstraints(sectionConstraints_);
    sectionConstraints_.clear();
    std::shared_ptr<UIView> previous;
    for (const auto& s : sections) {
        if (s->isHidden()) continue;
        if (previous)
            sectionConstraints_.push_back(equal(s, A::top, previous, A::bottom, kGap));
        else
            sectionConstraints_.push_back(equal(s, A::top, containerView, A::top, kInset));
        previous = s;
    }
    if (previous) sectionConstraints_.push_back(equal(previous, A::bottom, containerView, A::bottom, -kInset));
    containerView->addConstraints(sectionConstraints_);
}

void FeedTableViewCell::menuButtonTapped(UIButton*) {
    auto d = delegate.lock();
    if (!d || !indexPath) return;
    d->handleMenuTap(*indexPath);
}

void FeedTableViewCell::writeACommentViewTapped() {
    auto d = delegate.lock();
    if (!d || !indexPath) return;
    d->handleWriteACommentViewTap(*indexPath);
}

void FeedTableViewCell::commentViewTapped(long index) {
    auto d = delegate.lock();
    if (!d || !indexPath) return;
    d->handleCommentViewTap(*indexPath, index);
}

void FeedTableViewCell::commentOneViewTapped() {
    commentViewTapped(0);
}

void FeedTableViewCell::commentTwoViewTapped() {
    commentViewTapped(1);
}

void FeedTableViewCell::commentThreeViewTapped() {
    commentViewTapped(2);
}
