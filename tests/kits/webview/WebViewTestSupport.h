#pragma once

// What the web view tests share: a headless screen to put web views on, a delegate of each kind
// that writes down what it hears, and texts of the labels a page shows.

#include "host/HeadlessHost.h"
#include "kits/webview/UIWebView.h"
#include "kits/webview/WKWebView.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

namespace cw::test {

using WhiteScreenApp = cw::WhiteScreenApplication;

inline std::string typeName(WKNavigationType type) {
    return type == WKNavigationType::linkActivated ? "link" : type == WKNavigationType::other ? "other" : "?";
}

class RecordingNavigationDelegate : public WKNavigationDelegate {
public:
    std::vector<std::string> calls;
    std::vector<WKNavigationAction> actions;
    std::vector<WKNavigationPtr> navigations; // as the start, commit, finish and failures carried them
    std::optional<NSError> error;
    // Answers decidePolicyFor; allows everything when unset. Setting `holdDecision` keeps the
    // handler in `pendingDecision` instead.
    std::function<WKNavigationActionPolicy(const WKNavigationAction&)> policy;
    bool holdDecision = false;
    std::function<void(WKNavigationActionPolicy)> pendingDecision;
    // Answers decidePolicyForNavigationResponse, noted as "respond <status>"; shows every page
    // without a note when unset. With `holdDecision` the handler waits in `pendingResponseDecision`.
    std::function<WKNavigationResponsePolicy(const NSHTTPURLResponse&)> responsePolicy;
    std::function<void(WKNavigationResponsePolicy)> pendingResponseDecision;

    void decidePolicyFor(WKWebView*, const WKNavigationAction& action,
                         std::function<void(WKNavigationActionPolicy)> decisionHandler) override {
        actions.push_back(action);
        calls.push_back("decide " + typeName(action.navigationType) + " " +
                        (action.request.url ? action.request.url->absoluteString() : "-"));
        if (holdDecision) {
            pendingDecision = std::move(decisionHandler);
            return;
        }
        decisionHandler(policy ? policy(action) : WKNavigationActionPolicy::allow);
    }
    void decidePolicyForNavigationResponse(
        WKWebView*, const WKNavigationResponse& response,
        std::function<void(WKNavigationResponsePolicy)> decisionHandler) override {
        if (!responsePolicy) {
            decisionHandler(WKNavigationResponsePolicy::allow);
            return;
        }
        calls.push_back("respond " + std::to_string(response.response->statusCode()));
        if (holdDecision) {
            pendingResponseDecision = std::move(decisionHandler);
            return;
        }
        decisionHandler(responsePolicy(*response.response));
    }
    void didStartProvisionalNavigation(WKWebView*, const WKNavigationPtr& n) override { note("start", n); }
    void didCommit(WKWebView*, const WKNavigationPtr& n) override { note("commit", n); }
    void didFinish(WKWebView*, const WKNavigationPtr& n) override { note("finish", n); }
    void didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr& n, const NSError& e) override {
        error = e;
        note("fail provisional " + std::to_string(e.code), n);
    }
    void didFail(WKWebView*, const WKNavigationPtr& n, const NSError& e) override {
        error = e;
        note("fail " + std::to_string(e.code), n);
    }
    void webViewWebContentProcessDidTerminate(WKWebView*) override { calls.push_back("terminated"); }

    bool ended() const {
        for (const auto& c : calls)
            if (c == "finish" || c.starts_with("fail")) return true;
        return false;
    }

private:
    void note(std::string call, const WKNavigationPtr& n) {
        calls.push_back(std::move(call));
        navigations.push_back(n);
    }
};

class RecordingWebViewDelegate : public UIWebViewDelegate {
public:
    std::vector<std::string> calls;
    std::vector<URLRequest> asked;
    std::function<bool(const URLRequest&, UIWebViewNavigationType)> answer;
    // The page's request and the status of its reply as the finish saw them.
    std::optional<URLRequest> requestAtFinish;
    int statusAtFinish = 0;

    bool shouldStartLoadWith(UIWebView*, const URLRequest& request, UIWebViewNavigationType type) override {
        asked.push_back(request);
        calls.push_back(std::string("should ") + (type == UIWebViewNavigationType::linkClicked ? "link" : type == UIWebViewNavigationType::other ? "other" : "?"));
        return answer ? answer(request, type) : true;
    }
    void webViewDidStartLoad(UIWebView*) override { calls.push_back("start"); }
    void webViewDidFinishLoad(UIWebView* view) override {
        requestAtFinish = view->request();
        statusAtFinish = view->response() ? view->response()->statusCode() : 0;
        calls.push_back("finish");
    }
    void didFailLoadWithError(UIWebView*, const NSError& e) override {
        calls.push_back("fail " + std::to_string(e.code));
    }
    bool ended() const { return !calls.empty() && (calls.back() == "finish" || calls.back().starts_with("fail")); }
};

// The views of one kind in a tree, top to bottom as they were added.
template <class View> std::vector<std::shared_ptr<View>> viewsOf(const std::shared_ptr<UIView>& root) {
    std::vector<std::shared_ptr<View>> found;
    std::function<void(const std::shared_ptr<UIView>&)> walk = [&](const std::shared_ptr<UIView>& v) {
        if (auto view = std::dynamic_pointer_cast<View>(v)) found.push_back(view);
        for (const auto& s : v->subviews())
            walk(s);
    };
    walk(root);
    return found;
}

inline std::vector<std::shared_ptr<UILabel>> pageLabels(const std::shared_ptr<UIScrollView>& scroll) {
    return viewsOf<UILabel>(scroll);
}

// The texts of the page's labels, top to bottom.
inline std::vector<std::string> pageTexts(const std::shared_ptr<UIScrollView>& scroll) {
    std::vector<std::string> texts;
    for (const auto& label : pageLabels(scroll))
        if (auto t = label->attributedText()) texts.push_back(t->string());
    return texts;
}

inline Reply htmlReply(std::string body, int status = 200) {
    return Reply{status, std::move(body), "text/html; charset=utf-8"};
}

} // namespace cw::test

namespace cw::test {

// Holds the server's answers to a path until opened, so a test can act while a load is under way.
class ReplyGate {
public:
    void wait() {
        std::unique_lock lock(mutex_);
        ++entered_;
        cv_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }
    int entered() const {
        std::lock_guard lock(mutex_);
        return entered_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
    int entered_ = 0;
};

} // namespace cw::test
