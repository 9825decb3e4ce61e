#pragma once

// The system's Touch ID prompt, as the hosts draw it above the application (and its keyboard)
// while an owner check waits for a finger: "Touch ID for “<application>”", the application's
// reason, and Cancel. The window host installs it, so that an evaluation waits there for F1/F2;
// the headless host leaves it out unless asked, and its evaluations answer at once.

namespace cw {

// Installs the prompt for every owner check from now on (main thread).
void installTouchIDPrompt();
// Takes it away again: checks answer at once.
void removeTouchIDPrompt();

} // namespace cw
