#pragma once

// The application's shared audio session: the category that says how its sound mixes with other
// sound, and whether the session is active. Nothing here plays sound (the players ignore audio);
// the session keeps the state that screens set and read, and fails the way the platform's does.
//
// Each setter returns whether it succeeded and, on failure, fills `error` (when given) and leaves
// the state as it was. A category the platform does not know fails with
// NSOSStatusErrorDomain / `AVAudioSessionErrorCodeBadParam`. Tests make a setter fail with an error
// of their choosing with `injectError`. Safe from any thread.

#include "foundation/json/NSError.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

using AVAudioSessionCategory = std::string;

inline const AVAudioSessionCategory AVAudioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";
inline const AVAudioSessionCategory AVAudioSessionCategorySoloAmbient = "AVAudioSessionCategorySoloAmbient";
inline const AVAudioSessionCategory AVAudioSessionCategoryPlayback = "AVAudioSessionCategoryPlayback";
inline const AVAudioSessionCategory AVAudioSessionCategoryRecord = "AVAudioSessionCategoryRecord";
inline const AVAudioSessionCategory AVAudioSessionCategoryPlayAndRecord = "AVAudioSessionCategoryPlayAndRecord";
inline const AVAudioSessionCategory AVAudioSessionCategoryMultiRoute = "AVAudioSessionCategoryMultiRoute";

// The domain of the session's own errors, and the code of a bad argument ('-50').
inline constexpr std::string_view NSOSStatusErrorDomain = "NSOSStatusErrorDomain";
inline constexpr std::int64_t AVAudioSessionErrorCodeBadParam = -50;

class AVAudioSession {
public:
    static AVAudioSession& sharedInstance();

    // SoloAmbient until set.
    AVAudioSessionCategory category() const;
    bool setCategory(const AVAudioSessionCategory& category, NSError* error = nullptr);

    bool isActive() const;
    // Activating an active session, or deactivating an inactive one, succeeds and changes nothing.
    bool setActive(bool active, NSError* error = nullptr);

    // --- For tests ---
    enum class Operation { setCategory, setActive };
    // Every later call of `operation` fails with `error` (none: succeeds again).
    void injectError(Operation operation, std::optional<NSError> error);
    // Back to the state of a new process: SoloAmbient, inactive, no injected errors.
    void reset();

private:
    AVAudioSession() = default;

    mutable std::mutex mutex_;
    AVAudioSessionCategory category_ = AVAudioSessionCategorySoloAmbient;
    bool active_ = false;
    std::optional<NSError> categoryError_;
    std::optional<NSError> activeError_;
};
