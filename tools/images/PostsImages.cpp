// The pictures of the post, article and composer screens: the bar's comment bubble (the count's
// badge sits in its middle). The bookmark ribbons are the library's, the camera the registration's.

#include "ImageDrawing.h"

namespace {

using namespace cw::images;

const UIColor kPostsInk{0.2, 0.2, 0.2, 1};

// A rounded speech bubble, drawn as an outline so the count can stand inside it.
void drawCommentIcon(CGContext& c, CGSize s) {
    UIBezierPath bubble = UIBezierPath::roundedRect({2, 2, s.width - 4, s.height - 8}, 5);
    stroke(c, bubble, 1.6, kPostsInk);
    UIBezierPath tail;
    tail.move({s.width * 0.34, s.height - 6});
    tail.addLine({s.width * 0.3, s.height - 1.5});
    tail.addLine({s.width * 0.5, s.height - 6});
    stroke(c, tail, 1.6, kPostsInk);
}

const cw::images::Drawing comment{"comment-icon-unfilled", {26, 24}, drawCommentIcon};

} // namespace
