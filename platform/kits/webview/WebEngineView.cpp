#include "kits/webview/WebEngineView.h"

namespace cw::webview {

WebEngineView::WebEngineView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
    engine_ = std::make_shared<WebEngine>(static_cast<WebEngineClient&>(*this));
    addSubview(engine_->scrollView());
    engine_->layout(bounds());
}

WebEngineView::~WebEngineView() {
    engine_->detach();
}

void WebEngineView::layoutSubviews() {
    UIView::layoutSubviews();
    engine_->layout(bounds());
}

} // namespace cw::webview
