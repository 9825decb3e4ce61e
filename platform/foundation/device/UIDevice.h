#pragma once

#include <optional>
#include <string>

// The device the program runs on, as the application may describe it: the operating system and a
// generic kind of device, never anything that identifies the machine.
class UIDevice {
public:
    static UIDevice& current();

    // The operating system's name, e.g. "Linux".
    std::string systemName() const;
    // The operating system's release as dotted numbers, e.g. "6.1.0".
    std::string systemVersion() const;
    // The generic kind of device: "Computer" on this platform (a phone would say "iPhone").
    std::string model() const;

    // The raw `machine` field of uname(): every byte of the field, the text followed by the zero bytes
    // that fill it, e.g. "x86_64" and 59 zeros.
    std::string unameMachineField() const;
    // Replaces what unameMachineField() reports, for tests: the given bytes (at most the field's size
    // less one) zero-filled to the field's size. std::nullopt goes back to the host's own value.
    static void overrideUnameMachine(std::optional<std::string> machine);
};
