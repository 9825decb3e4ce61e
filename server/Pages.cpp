#include "server/Pages.h"

#include "server/Auth.h"
#include "server/Connections.h"
#include "server/Http.h"
#include "server/Server.h"

#include <charconv>

namespace cw::server {

namespace {

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           escapeHtml(title) +
           "</title><style>body{font-family:sans-serif;margin:16px;color:#333;line-height:1.45}"
           "h1{font-size:22px;color:#2f9e83}a{color:#2f9e83}</style></head><body>\n" +
           body + "\n</body></html>\n";
}

const char* const kTerms = R"html(<h1>Terms of Use</h1>
<p>Cradleway keeps the family of a baby in the neonatal intensive care unit informed. By using it you agree
to these terms.</p>
<ul>
<li>The information in the application comes from the care team and is not a replacement for talking to them.</li>
<li>Only invite people you trust: everyone you invite sees your baby's updates, pictures and posts.</li>
<li>Do not share your password. You can change it at any time under My Account.</li>
<li>Pictures and posts you add can be removed by you or by the hospital.</li>
</ul>
<p>Questions? Ask at the unit's front desk.</p>)html";

void sendPage(httplib::Response& res, int status, const std::string& title, const std::string& body) {
    res.status = status;
    res.set_content(page(title, body), "text/html; charset=utf-8");
}

} // namespace

void serveMissingPage(httplib::Response& res) {
    sendPage(res, 404, "Not found", "<h1>Not found</h1><p>This article is no longer available.</p>");
}

void servePage(ServerState& state, const httplib::Request& req, httplib::Response& res, PageKind kind,
               int64_t id) {
    if (kind == PageKind::Terms) {
        res.set_content(page("Terms of Use", kTerms), "text/html; charset=utf-8");
        return;
    }
    auto lease = state.pool->acquire();
    std::string title, article;
    {
        auto st = lease->prepare("SELECT card_title, article_html FROM education_content WHERE id = ?");
        st.with(id);
        if (!st.step()) {
            serveMissingPage(res);
            return;
        }
        title = st.text(0);
        article = st.text(1);
    }
    // Opening the article marks it read for the reader it names ("user_id"), only with her own access
    // token: a web view may send it only in the query, so such a page is kept out of caches and no page
    // tells the sites it links to where it was (the query would be in the referrer).
    res.set_header("Referrer-Policy", "no-referrer");
    if (req.has_param("access_token")) res.set_header("Cache-Control", "no-store");
    if (req.has_param("user_id")) {
        const std::string headerToken = req.get_header_value("X-Access-Token");
        const std::string token = headerToken.empty() ? req.get_param_value("access_token") : headerToken;
        int64_t member = 0;
        const std::string text = req.get_param_value("user_id");
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), member);
        const auto signedIn = holderOfAccessToken(*lease, state, token);
        // Refused as the service refuses her (the application renews her tokens and asks again): shown
        // the page, she would take it as read though nothing was recorded.
        if (error != std::errc() || end != text.data() + text.size() || !signedIn ||
            signedIn->memberId != member) {
            sendPage(res, 401, "Sign in again",
                     "<h1>Sign in again</h1><p>Open the article again from the application.</p>");
            return;
        }
        lease->prepare("INSERT OR IGNORE INTO content_reads (member_id, content_id) VALUES (?, ?)")
            .with(member, id)
            .run();
    }
    sendPage(res, 200, title, "<h1>" + escapeHtml(title) + "</h1>\n" + article);
}

void servePicture(const std::filesystem::path& directory, const std::string& name, const httplib::Request& req,
                  httplib::Response& res) {
    const std::string type = name.ends_with(".png")                              ? "image/png"
                             : name.ends_with(".jpg") || name.ends_with(".jpeg") ? "image/jpeg"
                                                                                 : "application/octet-stream";
    // Sent as it is read from disk: however many ask for a large picture at once, and however slowly
    // they read it, none of it is held whole in memory.
    if (name.find("..") != std::string::npos || !replyWithFile(req, res, directory / name, type)) {
        res.status = 404;
        res.set_content(R"({"message":"No such picture.","status":"No such picture."})", "application/json");
        return;
    }
    res.set_header("Cache-Control", "max-age=86400");
}

} // namespace cw::server
