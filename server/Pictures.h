#pragma once

#include "server/Gate.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cw::server {

enum class PictureStyle {
    Scene,  // soft shapes on a gradient: articles, posts, milestones
    Baby,   // a sleeping baby's face
    Person, // a head and shoulders
    Icon,   // a flat disc with a ring on a clear ground: categories and milestone kinds
};

// Our own small pictures, drawn in code and encoded as PNG. The same seed gives the same picture.
std::string drawPicture(int width, int height, uint32_t seed, PictureStyle style);

enum class PictureKind { Jpeg, Png };
// The kind its first bytes announce; none for anything else.
std::optional<PictureKind> pictureKind(const std::string& bytes);

// What reading a picture to its end found. A signature followed by anything else is not a picture.
enum class PictureVerdict {
    Decodes,     // a picture of its kind, read to its end within the bounds below
    NotAPicture, // not a JPEG or PNG, damaged or cut off
    TooLarge,    // over 16384 pixels a side or 40 million pixels, or over the memory its decoding may take
    TooSlow,     // longer to decode than any picture should take: too costly, as one too large is
    TooComplex,  // more scans than any camera writes: not a picture of the kind we take
    Busy,        // every place for decoding stayed taken while it waited
    SenderBusy,  // its sender has a picture being decoded and as many waiting as a sender may
    GroupBusy,   // its sender's group has as many pictures being decoded or waiting as a group may
};

// What one picture may cost to read: a few are decoded at once, each within a memory limit, a number
// of scans and a time; a small file can describe a picture that would take gigabytes and minutes.
struct PictureBounds {
    int64_t maxSide = 16384;
    int64_t maxPixels = 40'000'000;
    long maxMemory = 100L * 1024 * 1024; // what libjpeg may hold for the whole picture's coefficients
    int maxScans = 100;
    std::chrono::milliseconds maxTime{5000};
    std::chrono::milliseconds patience{5000}; // waiting for its sender's turn and a place to decode
    // Whose turn the decoding takes: one sender's pictures are decoded one at a time, so that a
    // sender with many never holds more than one place. Empty: nobody's.
    std::string sender;
    // The group the sender counts in as well (`kPicturesPerSenderGroup`): the network of senders that
    // anybody there may name anew (a sign-up's applications). Empty: none.
    std::string senderGroup;
    // Whom the decoding's turn is taken for (the request's sender), in fair turns among the senders,
    // so that neither one address's accounts nor a crowd of addresses keeps another's pictures waiting.
    Claimant claimant;
    // Called on the decoding thread once the picture has its place, before it is read: tests hold a
    // decoding there to see what the rest of the server does meanwhile.
    std::function<void()> started;
};
constexpr int kPictureDecodingPlaces = 3;
// The places pictures take turns for: a test holds them to see what a busy server answers.
Gate& pictureDecodingGate();
// Pictures of one sender that may wait for the sender's turn (each holding its request's worker
// meanwhile); one sent beyond them is refused at once.
constexpr int kPictureWaitsPerSender = 4;
// Pictures of one group's senders decoded or waiting at once: more than a ward's mothers signing up
// at one moment, so that one who names new senders over and over holds no more workers with them.
constexpr int kPicturesPerSenderGroup = 12;
// Pictures waiting for their sender's turn at the moment: a test sees a sender's crowd settle.
size_t picturesWaitingForTheirSenders();
// What one request may carry: the most the application sends is a sign-up's, the member's picture
// and one for each of four babies. Each may take a decoding place for up to `maxTime`.
constexpr size_t kMaxPicturesPerRequest = 6;

// Never inside a write transaction (std::logic_error), where every writer would wait for as long as
// the picture takes: pictures are checked and stored first, the transaction that names them after.
PictureVerdict checkPicture(const std::string& bytes, PictureKind kind, const PictureBounds& bounds = {});
// The kind of the picture in `bytes` once it reads to its end within the bounds; otherwise the request
// ends with 415 (not a picture, too many scans), 413 (too large or too slow to decode) or 429 (busy,
// the sender's own pictures still being read, or its group's), each message naming the part `field`.
PictureKind requirePicture(const std::string& bytes, const std::string& field,
                           const PictureBounds& bounds = {});

} // namespace cw::server
