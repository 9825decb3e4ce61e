#pragma once

// What both web views are made of: a view whose one subview is the engine's scroll view, laid out
// with it, and the calls that do the same in both. Each web view turns the engine's reports into
// its own delegate's calls.

#include "kits/webview/WebEngine.h"
#include "uikit/view/UIView.h"

#include <memory>

namespace cw::webview {

class WebEngineView : public UIView, protected WebEngineClient {
public:
    ~WebEngineView() override;

    bool isLoading() const { return engine_->isLoading(); }
    void stopLoading() { engine_->stopLoading(); }
    const std::shared_ptr<UIScrollView>& scrollView() const { return engine_->scrollView(); }

    void layoutSubviews() override;

protected:
    explicit WebEngineView(const CGRect& frame);
    WebEngine& engine() const { return *engine_; }

private:
    std::shared_ptr<WebEngine> engine_;
};

} // namespace cw::webview
