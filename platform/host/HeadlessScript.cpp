#include "host/HeadlessScript.h"

#include "host/HeadlessHost.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DateFormatter.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <istream>
#include <ostream>
#include <sstream>
#include <variant>
#include <vector>

namespace cw {

namespace {

// One parsed line: what to do, ready to run.
struct Step {
    int line = 0;
    std::string text; // the line as written, for messages
    // Runs the step; false with `why` set when it could not be done.
    std::function<bool(HeadlessHost&, std::string& why)> run;
};

struct ParseError {
    std::string message;
};

std::string trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

// A double-quoted text with \" \\ \n \t escapes, filling the whole of `s`.
std::variant<std::string, ParseError> quotedText(std::string_view s) {
    const std::string t = trim(s);
    if (t.size() < 2 || t.front() != '"' || t.back() != '"')
        return ParseError{"wants a text in double quotes"};
    std::string out;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        char c = t[i];
        if (c == '"') return ParseError{"has a double quote inside its text (write \\\")"};
        if (c == '\\') {
            if (i + 2 >= t.size()) return ParseError{"ends its text with a lone backslash"};
            const char n = t[++i];
            switch (n) {
            case 'n': c = '\n'; break;
            case 't': c = '\t'; break;
            case '"': c = '"'; break;
            case '\\': c = '\\'; break;
            default: return ParseError{std::string("has an unknown escape \\") + n};
            }
        }
        out += c;
    }
    return out;
}

std::optional<double> number(std::string_view s) {
    const std::string t = trim(s);
    if (t.empty()) return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<CGPoint> point(std::string_view s) {
    const auto comma = s.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    auto x = number(s.substr(0, comma)), y = number(s.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return CGPoint{*x, *y};
}

std::string describeVisible(const HeadlessHost& host) {
    std::string out;
    int n = 0;
    for (const auto& t : host.visibleTexts()) {
        if (n++ == 12) {
            out += ", ...";
            break;
        }
        if (!out.empty()) out += ", ";
        out += "\"" + t + "\"";
    }
    return out.empty() ? "nothing with text" : out;
}

// Turns the run loop (in real time, up to `seconds`) until `found` holds: replies from other
// threads arrive meanwhile. Whatever the result, the host settles afterwards.
bool waitFor(HeadlessHost& host, double seconds, const std::function<bool()>& found) {
    const bool ok = found() || RunLoop::main().runUntil(found, seconds);
    host.settle();
    return ok;
}

// The steps by name: each parses its arguments into the action it runs.
using Parser = std::function<std::variant<Step, ParseError>(std::string_view args, const HeadlessScriptOptions&)>;

Step action(std::function<bool(HeadlessHost&, std::string&)> run) {
    Step s;
    s.run = std::move(run);
    return s;
}

std::variant<Step, ParseError> noArguments(std::string_view args, std::function<bool(HeadlessHost&, std::string&)> run) {
    if (!trim(args).empty()) return ParseError{"takes no arguments"};
    return action(std::move(run));
}

std::variant<Step, ParseError> parseTap(std::string_view args, const HeadlessScriptOptions& options) {
    const double wait = options.waitSeconds;
    const std::string a = trim(args);
    if (!a.empty() && a.front() == '#') {
        const std::string id = a.substr(1);
        if (id.empty() || id.find_first_of(" \t") != std::string::npos)
            return ParseError{"wants #identifier without spaces"};
        return action([id, wait](HeadlessHost& host, std::string& why) {
            waitFor(host, wait, [&] { return host.findByIdentifier(id) != nullptr; });
            if (host.tapIdentifier(id)) return true;
            why = "nothing on screen has the identifier " + id;
            return false;
        });
    }
    auto text = quotedText(a);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text), wait](HeadlessHost& host, std::string& why) {
        waitFor(host, wait, [&] { return host.isShowing(t); });
        if (host.tapText(t)) return true;
        why = "nothing on screen shows this text; showing " + describeVisible(host);
        return false;
    });
}

std::variant<Step, ParseError> parseType(std::string_view args, const HeadlessScriptOptions&) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text)](HeadlessHost& host, std::string& why) {
        if (host.type(t)) return true;
        why = "no field is being edited";
        return false;
    });
}

std::variant<Step, ParseError> parsePaste(std::string_view args, const HeadlessScriptOptions&) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    if (std::get<std::string>(text).empty()) return ParseError{"wants the text to paste"};
    return action([t = std::get<std::string>(text)](HeadlessHost& host, std::string& why) {
        if (host.paste(t)) return true;
        why = "no field is being edited";
        return false;
    });
}

std::variant<Step, ParseError> parseDelete(std::string_view args, const HeadlessScriptOptions&) {
    auto n = number(args);
    if (!n || *n < 1 || *n > 10000 || std::floor(*n) != *n) return ParseError{"wants a whole number of characters"};
    return action([times = static_cast<int>(*n)](HeadlessHost& host, std::string& why) {
        if (host.deleteBackward(times)) return true;
        why = "no field is being edited";
        return false;
    });
}

std::variant<Step, ParseError> parseAlert(std::string_view args, const HeadlessScriptOptions& options) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text), wait = options.waitSeconds](HeadlessHost& host, std::string& why) {
        waitFor(host, wait, [&] { return host.isShowing(t); });
        if (host.pickAlertAction(t)) return true;
        why = "no shown alert has an enabled button with this title";
        return false;
    });
}

std::variant<Step, ParseError> parseDrag(std::string_view args, const HeadlessScriptOptions&) {
    std::istringstream in{std::string(args)};
    std::string a, b, rest;
    in >> a >> b;
    std::getline(in, rest);
    auto from = point(a), to = point(b);
    if (!from || !to || !trim(rest).empty()) return ParseError{"wants two points: x,y x,y"};
    return action([f = *from, t = *to](HeadlessHost& host, std::string& why) {
        if (host.drag(f, t)) return true;
        why = "there is no window to drag on";
        return false;
    });
}

std::variant<Step, ParseError> parseWait(std::string_view args, const HeadlessScriptOptions&) {
    auto s = number(args);
    if (!s || *s < 0 || *s > 24 * 3600) return ParseError{"wants a number of seconds"};
    return action([seconds = *s](HeadlessHost& host, std::string&) {
        host.advance(seconds);
        return true;
    });
}

std::variant<nlohmann::json, ParseError> payload(std::string_view args) {
    try {
        auto j = nlohmann::json::parse(trim(args));
        if (!j.is_object()) return ParseError{"wants a JSON object"};
        return j;
    } catch (const std::exception& e) {
        return ParseError{std::string("wants a JSON object: ") + e.what()};
    }
}

std::variant<Step, ParseError> parsePush(std::string_view args, const HeadlessScriptOptions&) {
    auto p = payload(args);
    if (auto* e = std::get_if<ParseError>(&p)) return *e;
    return action([j = std::get<nlohmann::json>(p)](HeadlessHost& host, std::string&) {
        host.deliverPush(j);
        return true;
    });
}

std::variant<Step, ParseError> parseTapPush(std::string_view args, const HeadlessScriptOptions&) {
    auto p = payload(args);
    if (auto* e = std::get_if<ParseError>(&p)) return *e;
    return action([j = std::get<nlohmann::json>(p)](HeadlessHost& host, std::string&) {
        host.tapPush(j);
        return true;
    });
}

std::variant<Step, ParseError> parseTouchID(std::string_view args, const HeadlessScriptOptions&) {
    const std::string a = trim(args);
    if (a != "match" && a != "nomatch") return ParseError{"wants match or nomatch"};
    return action([matches = a == "match"](HeadlessHost& host, std::string&) {
        host.setTouchID(true, matches);
        return true;
    });
}

std::variant<Step, ParseError> parsePick(std::string_view args, const HeadlessScriptOptions& options) {
    std::string a = trim(args);
    if (!a.empty() && a.front() == '"') {
        auto text = quotedText(a);
        if (auto* e = std::get_if<ParseError>(&text)) return *e;
        a = std::get<std::string>(text);
    }
    if (a.empty()) return ParseError{"wants a picture file"};
    std::filesystem::path file = a;
    if (file.is_relative()) file = options.baseDirectory / file;
    return action([file](HeadlessHost& host, std::string& why) {
        std::string error;
        if (host.pickImage(file, &error)) return true;
        why = error.empty() ? "the picture was not picked" : error;
        return false;
    });
}

std::variant<Step, ParseError> parseTurn(std::string_view args, const HeadlessScriptOptions&) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text)](HeadlessHost& host, std::string& why) {
        if (host.turnPicker(t)) return true;
        why = "no picker on screen has a row with this title";
        return false;
    });
}

std::variant<Step, ParseError> parseTurnDate(std::string_view args, const HeadlessScriptOptions&) {
    // A calendar day, read in the device's time zone (the picker shows days of the device).
    const auto date = DateFormatter::serverFormatter("yyyy-MM-dd").date(trim(args));
    if (!date) return ParseError{"wants a date written yyyy-MM-dd"};
    return action([d = *date](HeadlessHost& host, std::string& why) {
        if (host.turnDatePicker(d)) return true;
        why = "no date picker is on screen";
        return false;
    });
}

std::variant<Step, ParseError> parseExpect(std::string_view args, const HeadlessScriptOptions& options) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text), wait = options.waitSeconds](HeadlessHost& host, std::string& why) {
        if (waitFor(host, wait, [&] { return host.isShowing(t); })) return true;
        why = "not on screen; showing " + describeVisible(host);
        return false;
    });
}

std::variant<Step, ParseError> parseScreenshot(std::string_view args, const HeadlessScriptOptions& options) {
    const std::string name = trim(args);
    if (name.empty() || name.find_first_of("/\\ \t") != std::string::npos || name == "." || name == "..")
        return ParseError{"wants a file name without spaces or slashes"};
    const auto file = options.screenshotDirectory / (name + ".png");
    return action([file](HeadlessHost& host, std::string& why) {
        std::string error;
        if (host.screenshot(file, &error)) return true;
        why = "cannot write " + file.string() + ": " + error;
        return false;
    });
}

const std::vector<std::pair<std::string, Parser>>& steps() {
    static const std::vector<std::pair<std::string, Parser>> table = {
        {"tap", parseTap},
        {"type", parseType},
        {"paste", parsePaste},
        {"delete", parseDelete},
        {"back",
         [](std::string_view a, const HeadlessScriptOptions&) {
             return noArguments(a, [](HeadlessHost& host, std::string& why) {
                 if (host.goBack()) return true;
                 why = "no back button is shown";
                 return false;
             });
         }},
        {"alert", parseAlert},
        {"drag", parseDrag},
        {"wait", parseWait},
        {"push", parsePush},
        {"tap-push", parseTapPush},
        {"background",
         [](std::string_view a, const HeadlessScriptOptions&) {
             return noArguments(a, [](HeadlessHost& host, std::string&) {
                 host.enterBackground();
                 return true;
             });
         }},
        {"foreground",
         [](std::string_view a, const HeadlessScriptOptions&) {
             return noArguments(a, [](HeadlessHost& host, std::string&) {
                 host.enterForeground();
                 return true;
             });
         }},
        {"touchid", parseTouchID},
        {"pick", parsePick},
        {"turn", parseTurn},
        {"turn-date", parseTurnDate},
        {"expect", parseExpect},
        {"screenshot", parseScreenshot},
    };
    return table;
}

} // namespace

int runHeadlessScript(HeadlessHost& host, std::istream& script, const HeadlessScriptOptions& options,
                      std::ostream& errors) {
    std::vector<Step> program;
    std::string raw;
    int lineNumber = 0;
    while (std::getline(script, raw)) {
        ++lineNumber;
        const std::string line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        const auto space = line.find_first_of(" \t");
        const std::string name = line.substr(0, space);
        const std::string_view args =
            space == std::string::npos ? std::string_view{} : std::string_view(line).substr(space + 1);
        const Parser* parser = nullptr;
        for (const auto& [stepName, p] : steps())
            if (stepName == name) parser = &p;
        if (!parser) {
            errors << options.name << ":" << lineNumber << ": unknown step \"" << name << "\"" << std::endl;
            return kScriptInvalid;
        }
        auto parsed = (*parser)(args, options);
        if (auto* e = std::get_if<ParseError>(&parsed)) {
            errors << options.name << ":" << lineNumber << ": " << name << " " << e->message << std::endl;
            return kScriptInvalid;
        }
        Step step = std::get<Step>(std::move(parsed));
        step.line = lineNumber;
        step.text = line;
        program.push_back(std::move(step));
    }
    for (const auto& step : program) {
        std::string why;
        if (!step.run(host, why)) {
            errors << options.name << ":" << step.line << ": " << step.text << ": " << why << std::endl;
            return kScriptStepFailed;
        }
    }
    return kScriptSucceeded;
}

int runHeadlessScriptFile(HeadlessHost& host, const std::filesystem::path& file,
                          const std::filesystem::path& screenshotDirectory, std::ostream& errors) {
    std::ifstream in(file);
    if (!in) {
        errors << "cannot read the script " << file.string() << std::endl;
        return kScriptInvalid;
    }
    HeadlessScriptOptions options;
    options.screenshotDirectory = screenshotDirectory;
    options.baseDirectory = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    options.name = file.filename().string();
    return runHeadlessScript(host, in, options, errors);
}

} // namespace cw
