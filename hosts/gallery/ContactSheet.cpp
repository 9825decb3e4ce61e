// The tour's contact sheet: every step picture of a directory ("<Suite>-<Segment>-<NN>-<step>.png",
// as the tour writes them) laid out small, one row per segment under its name, each picture with
// its step's number and name beneath it.

#include "ContactSheet.h"

#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

namespace cw::gallery {

namespace {

constexpr CGFloat kThumbWidth = 80;
constexpr CGFloat kThumbHeight = 142; // a 375x667 screen, at the same proportion
constexpr CGFloat kCellWidth = 92;
constexpr CGFloat kCaptionHeight = 26;
constexpr CGFloat kTitleWidth = 200;
constexpr CGFloat kMargin = 12;
constexpr int kPerLine = 9;

struct Step {
    std::string caption; // "03 comment-push"
    std::filesystem::path file;
};

// "MothersDay-CommentsOnTheFathersPost" with its words apart: "Mothers Day: Comments On The Fathers
// Post".
std::string spacedWords(const std::string& camel) {
    std::string out;
    for (std::size_t i = 0; i < camel.size(); ++i) {
        const char c = camel[i];
        if (std::isupper(static_cast<unsigned char>(c)) && i > 0 && camel[i - 1] != '-') out += ' ';
        out += c == '-' ? ':' : c;
        if (c == '-') out += ' ';
    }
    return out;
}

std::shared_ptr<UILabel> label(const std::string& text, const UIFont& font, CGRect frame, NSTextAlignment alignment) {
    auto l = std::make_shared<UILabel>(frame);
    l->setText(text);
    l->setFont(font);
    l->setTextColor(UIColor(0.2, 0.2, 0.2, 1));
    l->setNumberOfLines(frame.size.height > 20 ? 3 : 1);
    l->setTextAlignment(alignment);
    return l;
}

} // namespace

bool drawContactSheet(const std::filesystem::path& directory, const std::filesystem::path& out, std::string* error) {
    // Segment name → its steps, in the order of their numbers; the segments in the tour's order of
    // suites (the mother's day first), by name within a suite.
    const std::vector<std::string> suites = {"MothersDay", "FathersView", "Registration", "BadInput", "SignedInBadInput"};
    auto rank = [&](const std::string& segment) {
        const auto suite = segment.substr(0, segment.find('-'));
        return static_cast<std::size_t>(std::find(suites.begin(), suites.end(), suite) - suites.begin());
    };
    auto order = [&](const std::string& a, const std::string& b) {
        return std::pair(rank(a), a) < std::pair(rank(b), b);
    };
    std::map<std::string, std::vector<Step>, decltype(order)> segments(order);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".png") continue;
        const std::string stem = entry.path().stem().string();
        // The step's number is the last "-NN-" in the name.
        std::size_t at = std::string::npos;
        for (std::size_t i = 0; i + 3 < stem.size(); ++i)
            if (stem[i] == '-' && std::isdigit(static_cast<unsigned char>(stem[i + 1])) &&
                std::isdigit(static_cast<unsigned char>(stem[i + 2])) && stem[i + 3] == '-')
                at = i;
        if (at == std::string::npos) continue;
        segments[stem.substr(0, at)].push_back({stem.substr(at + 1, 2) + " " + stem.substr(at + 4), entry.path()});
    }
    if (ec || segments.empty()) {
        if (error) *error = "no step pictures in " + directory.string();
        return false;
    }
    for (auto& [name, steps] : segments)
        std::sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.caption < b.caption; });

    const CGFloat lineHeight = kThumbHeight + kCaptionHeight + kMargin;
    CGFloat height = kMargin;
    for (const auto& [name, steps] : segments)
        height += lineHeight * static_cast<CGFloat>((steps.size() + kPerLine - 1) / kPerLine) + kMargin;
    const CGFloat width = kMargin + kTitleWidth + kCellWidth * kPerLine + kMargin;

    auto sheet = std::make_shared<UIView>(CGRect(0, 0, width, height));
    sheet->setBackgroundColor(UIColor(0.96, 0.95, 0.94, 1));
    CGFloat y = kMargin;
    for (const auto& [name, steps] : segments) {
        sheet->addSubview(label(spacedWords(name), UIFont::boldSystemFont(12),
                                CGRect(kMargin, y, kTitleWidth - kMargin, 60), NSTextAlignment::left));
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const CGFloat x = kMargin + kTitleWidth + kCellWidth * static_cast<CGFloat>(i % kPerLine);
            const CGFloat top = y + lineHeight * static_cast<CGFloat>(i / kPerLine);
            std::string why;
            auto picture = UIImage::fromFile(steps[i].file, &why);
            if (!picture) {
                if (error) *error = steps[i].file.string() + ": " + why;
                return false;
            }
            auto thumb = std::make_shared<UIImageView>(picture);
            thumb->setFrame(CGRect(x, top, kThumbWidth, kThumbHeight));
            thumb->setContentMode(UIViewContentMode::scaleAspectFit);
            thumb->setBackgroundColor(UIColor::whiteColor());
            sheet->addSubview(thumb);
            sheet->addSubview(label(steps[i].caption, UIFont::systemFont(9),
                                    CGRect(x - 4, top + kThumbHeight + 2, kCellWidth - 4, kCaptionHeight - 2),
                                    NSTextAlignment::center));
        }
        y += lineHeight * static_cast<CGFloat>((steps.size() + kPerLine - 1) / kPerLine) + kMargin;
    }
    // One pixel a point: the sheet is an overview, each picture is linked at full size beside it.
    return writeViewPNG(*sheet, out, 1, error);
}

} // namespace cw::gallery
