#include "kits/audio/AVAudioSession.h"

#include <algorithm>
#include <array>

namespace {

bool isKnownCategory(const AVAudioSessionCategory& category) {
    static const std::array<const AVAudioSessionCategory*, 6> known = {
        &AVAudioSessionCategoryAmbient,  &AVAudioSessionCategorySoloAmbient,   &AVAudioSessionCategoryPlayback,
        &AVAudioSessionCategoryRecord,   &AVAudioSessionCategoryPlayAndRecord, &AVAudioSessionCategoryMultiRoute,
    };
    return std::any_of(known.begin(), known.end(), [&](const auto* c) { return *c == category; });
}

bool fail(NSError* out, NSError error) {
    if (out) *out = std::move(error);
    return false;
}

} // namespace

AVAudioSession& AVAudioSession::sharedInstance() {
    static AVAudioSession session;
    return session;
}

AVAudioSessionCategory AVAudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

bool AVAudioSession::setCategory(const AVAudioSessionCategory& category, NSError* error) {
    std::lock_guard lock(mutex_);
    if (categoryError_) return fail(error, *categoryError_);
    if (!isKnownCategory(category))
        return fail(error, NSError(std::string(NSOSStatusErrorDomain), AVAudioSessionErrorCodeBadParam,
                                   {{std::string(NSLocalizedDescriptionKey),
                                     std::string("The audio session category \"" + category + "\" is not known.")}}));
    category_ = category;
    return true;
}

bool AVAudioSession::isActive() const {
    std::lock_guard lock(mutex_);
    return active_;
}

bool AVAudioSession::setActive(bool active, NSError* error) {
    std::lock_guard lock(mutex_);
    if (activeError_) return fail(error, *activeError_);
    active_ = active;
    return true;
}

void AVAudioSession::injectError(Operation operation, std::optional<NSError> error) {
    std::lock_guard lock(mutex_);
    (operation == Operation::setCategory ? categoryError_ : activeError_) = std::move(error);
}

void AVAudioSession::reset() {
    std::lock_guard lock(mutex_);
    category_ = AVAudioSessionCategorySoloAmbient;
    active_ = false;
    categoryError_.reset();
    activeError_.reset();
}
