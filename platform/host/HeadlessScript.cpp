#include "host/HeadlessScript.h"

#include "host/HeadlessHost.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DateFormatter.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/UIImageView.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <optional>
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
            case 'x': {
                // One byte by its two hexadecimal digits: control characters a person pastes.
                if (i + 3 >= t.size()) return ParseError{"wants two hexadecimal digits after \\x"};
                unsigned value = 0;
                const auto [end, ec] = std::from_chars(t.data() + i + 1, t.data() + i + 3, value, 16);
                if (ec != std::errc() || end != t.data() + i + 3)
                    return ParseError{"wants two hexadecimal digits after \\x"};
                c = static_cast<char>(value);
                i += 2;
                break;
            }
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
// threads arrive meanwhile. A screen that starts to move while it waits (a list's rows sliding in
// as their reply arrives) moves on as a person watching it would see it move: while an animation
// runs, the host settles between the slices of waiting, which lets the clock reach its end.
// Whatever the result, the host settles afterwards.
bool waitFor(HeadlessHost& host, double seconds, const std::function<bool()>& found) {
    constexpr double kSlice = 0.05;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool ok = found();
    while (!ok) {
        const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        ok = RunLoop::main().runUntil(found, std::min(left, kSlice));
        if (!ok && Animator::shared().runningCount() > 0) {
            host.settle();
            ok = found();
        }
    }
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

// Waits for the view that `find` finds to show with nothing over it, then taps it. A person's
// finger lands on whatever is on top: a tap on a covered view fails, naming what covers it.
bool tapUncovered(HeadlessHost& host, double wait, const std::function<std::shared_ptr<UIView>()>& find,
                  std::string& why, const std::function<std::string()>& whenMissing) {
    waitFor(host, wait, [&] {
        auto view = find();
        return view && !host.coverOf(*view);
    });
    auto view = find();
    if (!view) {
        why = whenMissing();
        return false;
    }
    if (auto cover = host.coverOf(*view)) {
        why = *cover;
        return false;
    }
    return host.tap(view);
}

std::variant<Step, ParseError> parseTap(std::string_view args, const HeadlessScriptOptions& options) {
    const double wait = options.waitSeconds;
    const std::string a = trim(args);
    if (!a.empty() && a.front() == '#') {
        const std::string id = a.substr(1);
        if (id.empty() || id.find_first_of(" \t") != std::string::npos)
            return ParseError{"wants #identifier without spaces"};
        return action([id, wait](HeadlessHost& host, std::string& why) {
            return tapUncovered(host, wait, [&] { return host.findByIdentifier(id); }, why,
                                [&] { return "nothing on screen has the identifier " + id; });
        });
    }
    auto text = quotedText(a);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text), wait](HeadlessHost& host, std::string& why) {
        return tapUncovered(host, wait, [&] { return host.findByText(t); }, why,
                            [&] { return "nothing on screen shows this text; showing " + describeVisible(host); });
    });
}

// Why the keys reached nothing: no field is being edited, or the one being edited turns a wheel.
std::string keysRefusal() {
    if (UIResponder::currentFirstResponder())
        return "the field being edited takes no typed text: its input is a wheel";
    return "no field is being edited";
}

std::variant<Step, ParseError> parseType(std::string_view args, const HeadlessScriptOptions&) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text)](HeadlessHost& host, std::string& why) {
        if (host.type(t)) return true;
        why = keysRefusal();
        return false;
    });
}

std::variant<Step, ParseError> parsePaste(std::string_view args, const HeadlessScriptOptions&) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    if (std::get<std::string>(text).empty()) return ParseError{"wants the text to paste"};
    return action([t = std::get<std::string>(text)](HeadlessHost& host, std::string& why) {
        if (host.paste(t)) return true;
        why = keysRefusal();
        return false;
    });
}

std::variant<Step, ParseError> parseDelete(std::string_view args, const HeadlessScriptOptions&) {
    auto n = number(args);
    if (!n || *n < 1 || *n > 10000 || std::floor(*n) != *n) return ParseError{"wants a whole number of characters"};
    return action([times = static_cast<int>(*n)](HeadlessHost& host, std::string& why) {
        if (host.deleteBackward(times)) return true;
        why = keysRefusal();
        return false;
    });
}

std::variant<Step, ParseError> parseAlert(std::string_view args, const HeadlessScriptOptions& options) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    // The button is tapped as `tap` taps: one the keyboard or another view lies over is refused.
    return action([t = std::get<std::string>(text), wait = options.waitSeconds](HeadlessHost& host, std::string& why) {
        return tapUncovered(host, wait, [&] { return host.alertButton(t); }, why,
                            [] { return std::string("no shown alert has an enabled button with this title"); });
    });
}

std::variant<Step, ParseError> parseDrag(std::string_view args, const HeadlessScriptOptions&) {
    std::istringstream in{std::string(args)};
    std::string a, b, c, rest;
    in >> a >> b >> c;
    std::getline(in, rest);
    auto from = point(a), to = point(b);
    // The finger moves in steps of a sixtieth of a second: a slow drag lets go with little speed,
    // so the content stops about where the finger left it.
    int steps = 10;
    if (!c.empty()) {
        auto seconds = number(c);
        if (!seconds || *seconds < 0.05 || *seconds > 60) return ParseError{"wants its duration in seconds (0.05 to 60)"};
        steps = static_cast<int>(std::lround(*seconds * 60));
    }
    if (!from || !to || !trim(rest).empty()) return ParseError{"wants two points: x,y x,y [seconds]"};
    return action([f = *from, t = *to, steps](HeadlessHost& host, std::string& why) {
        if (host.drag(f, t, steps)) return true;
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
        why = "no wheel on screen has a row with this title, or a finger cannot turn it there";
        return false;
    });
}

std::variant<Step, ParseError> parseTurnDate(std::string_view args, const HeadlessScriptOptions&) {
    // A calendar day, read in the device's time zone (the picker shows days of the device).
    const auto date = DateFormatter::serverFormatter("yyyy-MM-dd").date(trim(args));
    if (!date) return ParseError{"wants a date written yyyy-MM-dd"};
    return action([d = *date](HeadlessHost& host, std::string& why) {
        if (host.turnDatePicker(d)) return true;
        why = "no date picker is on screen, or a finger cannot turn its wheels to this day (past a bound "
              "they spring back)";
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

// The screen must not show `text` once the run loop has settled (checked at once: put it after an
// expect of what replaces the text).
std::variant<Step, ParseError> parseAbsent(std::string_view args, const HeadlessScriptOptions&) {
    auto text = quotedText(args);
    if (auto* e = std::get_if<ParseError>(&text)) return *e;
    return action([t = std::get<std::string>(text)](HeadlessHost& host, std::string& why) {
        host.settle();
        if (!host.isShowing(t)) return true;
        why = "still on screen";
        return false;
    });
}

std::variant<Step, ParseError> parseScreenshot(std::string_view args, const HeadlessScriptOptions& options) {
    const std::string name = trim(args);
    if (name.empty() || name.find_first_of("/\\ \t") != std::string::npos || name == "." || name == "..")
        return ParseError{"wants a file name without spaces or slashes"};
    const auto file = options.screenshotDirectory / (name + ".png");
    return action([file, wait = options.waitSeconds](HeadlessHost& host, std::string& why) {
        if (!waitForPictures(host, wait, why)) return false;
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
        {"absent", parseAbsent},
        {"screenshot", parseScreenshot},
        {"draw",
         [](std::string_view a, const HeadlessScriptOptions&) {
             return noArguments(a, [](HeadlessHost& host, std::string& why) {
                 if (host.drawFrame()) return true;
                 why = "there is no window to draw";
                 return false;
             });
         }},
    };
    return table;
}

} // namespace

bool waitForPictures(HeadlessHost& host, double seconds, std::string& why) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        // A picture that arrives may make room for others (a cell laid out anew asks for its own).
        host.settle();
        const auto waiting = host.picturesLoading();
        if (waiting.empty()) return true;
        const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            std::ostringstream out;
            out << waiting.size() << (waiting.size() == 1 ? " picture" : " pictures")
                << " on screen had not arrived after " << seconds << " seconds ("
                << describeView(*waiting.front())
                << (waiting.size() > 1 ? ", ..." : "") << ")";
            why = out.str();
            return false;
        }
        RunLoop::main().runUntil([&] { return host.picturesLoading().empty(); }, left);
    }
}

bool waitForSettledScreen(HeadlessHost& host, double seconds, std::string& why) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    // What the screen still waits for, in words; nothing once it has settled.
    auto waitingFor = [&host]() -> std::string {
        if (const auto turning = host.indicatorsTurning(); !turning.empty())
            return "a loading indicator still turns (" + describeView(*turning.front()) + ")";
        if (const std::size_t requests = NSURLSessionDataTask::tasksInFlight())
            return std::to_string(requests) + (requests == 1 ? " request is" : " requests are") + " still on the way";
        if (const auto pictures = host.picturesLoading(); !pictures.empty())
            return std::to_string(pictures.size()) + (pictures.size() == 1 ? " picture" : " pictures") +
                   " on screen had not arrived (" + describeView(*pictures.front()) + ")";
        return {};
    };
    for (;;) {
        // What arrives may start more (a feed's cards ask for their pictures).
        host.settle();
        const std::string waiting = waitingFor();
        if (waiting.empty()) return true;
        const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            std::ostringstream out;
            out << waiting << " after " << seconds << " seconds";
            why = out.str();
            return false;
        }
        RunLoop::main().runUntil([&] { return waitingFor().empty(); }, left);
    }
}

namespace {

// One line of a script: none for a blank line or a comment; else the step, or why it is none.
std::optional<std::variant<Step, std::string>> parseLine(const std::string& raw, int lineNumber,
                                                         const HeadlessScriptOptions& options) {
    const std::string line = trim(raw);
    if (line.empty() || line.front() == '#') return std::nullopt;
    const auto space = line.find_first_of(" \t");
    const std::string name = line.substr(0, space);
    const std::string_view args =
        space == std::string::npos ? std::string_view{} : std::string_view(line).substr(space + 1);
    const Parser* parser = nullptr;
    for (const auto& [stepName, p] : steps())
        if (stepName == name) parser = &p;
    if (!parser) return std::variant<Step, std::string>(std::in_place_index<1>, "unknown step \"" + name + "\"");
    auto parsed = (*parser)(args, options);
    if (auto* e = std::get_if<ParseError>(&parsed))
        return std::variant<Step, std::string>(std::in_place_index<1>, name + " " + e->message);
    Step step = std::get<Step>(std::move(parsed));
    step.line = lineNumber;
    step.text = line;
    return std::variant<Step, std::string>(std::in_place_index<0>, std::move(step));
}

} // namespace

int runHeadlessScript(HeadlessHost& host, std::istream& script, const HeadlessScriptOptions& options,
                      std::ostream& errors) {
    std::vector<Step> program;
    std::string raw;
    int lineNumber = 0;
    while (std::getline(script, raw)) {
        ++lineNumber;
        auto parsed = parseLine(raw, lineNumber, options);
        if (!parsed) continue;
        if (auto* why = std::get_if<std::string>(&*parsed)) {
            errors << options.name << ":" << lineNumber << ": " << *why << std::endl;
            return kScriptInvalid;
        }
        program.push_back(std::get<Step>(std::move(*parsed)));
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

int runHeadlessSteps(HeadlessHost& host, std::istream& steps, std::ostream& replies,
                     const HeadlessScriptOptions& options) {
    // The lines are read on a thread of their own, so that between two steps the application goes
    // on as it would in a person's hand: replies from the server are handled, refreshed tokens
    // stored, while its clock stands still until the next step.
    std::mutex mutex;
    std::deque<std::string> arrived;
    bool ended = false;
    std::thread reader([&] {
        std::string raw;
        while (std::getline(steps, raw)) {
            std::lock_guard lock(mutex);
            arrived.push_back(std::move(raw));
            RunLoop::main().wake();
        }
        std::lock_guard lock(mutex);
        ended = true;
        RunLoop::main().wake();
    });

    int status = kScriptSucceeded;
    int lineNumber = 0;
    for (;;) {
        std::optional<std::string> raw;
        RunLoop::main().runUntil(
            [&] {
                std::lock_guard lock(mutex);
                if (!arrived.empty()) {
                    raw = std::move(arrived.front());
                    arrived.pop_front();
                }
                return raw || ended;
            },
            24 * 3600);
        if (!raw) {
            std::lock_guard lock(mutex);
            if (ended && arrived.empty()) break;
            continue;
        }
        ++lineNumber;
        auto parsed = parseLine(*raw, lineNumber, options);
        if (!parsed) continue;
        // Each answer is one line written at once, so that the console lines of other threads
        // never split it.
        std::string answer = "step " + std::to_string(lineNumber) + " ";
        if (auto* invalid = std::get_if<std::string>(&*parsed)) {
            answer += "invalid: " + *invalid;
            status = kScriptInvalid;
        } else {
            std::string why;
            if (std::get<Step>(*parsed).run(host, why)) {
                answer += "ok";
            } else {
                answer += "failed: " + why;
                if (status == kScriptSucceeded) status = kScriptStepFailed;
            }
        }
        for (char& c : answer)
            if (c == '\n' || c == '\r') c = ' ';
        answer += '\n';
        replies.write(answer.data(), static_cast<std::streamsize>(answer.size()));
        replies.flush();
    }
    reader.join();
    return status;
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
