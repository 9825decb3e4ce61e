#pragma once

// Typing as a finger does on the drawn keyboard: each character's key tapped where it is drawn,
// through the window's hit test, with the layer keys ("123", "#+=", "ABC") and shift tapped first
// when the character is not on the keys shown (a letter whose key shows the other case). Nothing
// is typed past the keys: a character no key shows cannot be typed.

#include "foundation/text/CaseMapping.h"
#include "host/HeadlessHost.h"
#include "uikit/controls/UIKeyboard.h"

#include <string>

namespace cw::test {

// Taps the key that shows `label` on the keys shown now; false when none shows it.
inline bool tapKey(HeadlessHost& host, const std::string& label) {
    const auto key = Keyboard::shared().keyFrame(label);
    return key && host.tapPoint({key->midX(), key->midY()});
}

// The same letter in the other case ("C" for "c", "c" for "C"); empty for anything else.
inline std::string otherCase(const std::string& c) {
    if (c.size() != 1) return {};
    if (c[0] >= 'a' && c[0] <= 'z') return std::string(1, static_cast<char>(c[0] - 'a' + 'A'));
    if (c[0] >= 'A' && c[0] <= 'Z') return std::string(1, static_cast<char>(c[0] - 'A' + 'a'));
    return {};
}

// Brings up the layer whose keys show `label` (a letter in either case), as a person looks for a
// sign: from the letters to "123", on to "#+=", back to "ABC". False when no layer shows it.
inline bool showKey(HeadlessHost& host, const std::string& label) {
    auto& keyboard = Keyboard::shared();
    const std::string other = otherCase(label);
    const auto shown = [&] { return keyboard.keyFrame(label) || (!other.empty() && keyboard.keyFrame(other)); };
    for (int turn = 0; turn < 3; ++turn) {
        if (shown()) return true;
        const char* next = !keyboard.keyFrame("ABC") ? "123" : keyboard.keyFrame("#+=") ? "#+=" : "ABC";
        if (!tapKey(host, next)) return false;
    }
    return shown();
}

// Types `text` key by key (shift tapped when a letter's key shows the other case, a space with
// the space bar); false at the first character no key shows.
inline bool typeWithKeys(HeadlessHost& host, const std::string& text) {
    bool typed = true;
    cw::forEachCharacter(text, [&](std::string_view view) {
        const std::string c(view);
        if (c == " ") return typed = tapKey(host, "space");
        if (!showKey(host, c)) return typed = false;
        if (!Keyboard::shared().keyFrame(c) && !tapKey(host, "\u21e7")) return typed = false;
        return typed = tapKey(host, c);
    });
    return typed;
}

// Types by tapping each key as it shows now, as a person who reads the keys and never looks for
// shift: a letter goes in the case its key shows, whatever case `keys` gives it. False at the
// first character no key shows.
inline bool typeAsShown(HeadlessHost& host, const std::string& keys) {
    bool typed = true;
    cw::forEachCharacter(keys, [&](std::string_view view) {
        const std::string c(view);
        if (c == " ") return typed = tapKey(host, "space");
        if (!showKey(host, c)) return typed = false;
        return typed = tapKey(host, Keyboard::shared().keyFrame(c) ? c : otherCase(c));
    });
    return typed;
}

} // namespace cw::test
