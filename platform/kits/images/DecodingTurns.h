#pragma once

// The places pictures are decoded in, and whose turn it is. A decoding holds memory of its own while
// it runs (up to the decoder's limit), so a few run at once and the others wait, in the order they
// came. No picture holds another's turn for long: a decoding that has had its turn (some of a core's
// time) while a picture waits gives its place up and starts again later, from the beginning. Only
// one place fewer than there are may hold a decoding past its turn, so one always comes free within
// a turn for the pictures that decode at once, whatever the others cost. A decoding that gave its
// place up comes back before the pictures that came after it, as soon as a place for running past a
// turn is free, and keeps that place to its end.
//
// Contract: safe from any thread. Decodings run on threads of the turns' own and ask their turn as
// they go (Turn::mayGoOn); each runs until it returns, once more for each time it gave its place up.
// Going away waits for the decodings running, which are asked to stop, and drops those waiting.

#include "foundation/dispatch/OperationQueue.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace cw::images {

class DecodingTurns {
public:
    struct Configuration {
        int places = 2;
        // Of a core's time: a picture the screen shows decodes in a small part of it.
        double turnSeconds = 0.25;
        // Called on the decoding thread as each decoding begins in its place, before its turn starts.
        std::function<void()> begins = nullptr;
        // Called on the decoding thread each time a decoding keeps its place when it asks: tests hold
        // a decoding there to see what the others do meanwhile.
        std::function<void()> goesOn = nullptr;
    };

    // One run of a decoding, as it goes. Used on the decoding's own thread.
    class Turn {
    public:
        // Whether it keeps its place: false once it must give its place up (or the turns go away).
        bool mayGoOn();
        // Whether it stopped to give its place up: it is started again later.
        bool gaveUp() const { return gaveUp_; }
        // The core's time it has taken since it began, in seconds.
        double seconds() const;

    private:
        friend class DecodingTurns;
        struct Shared;
        Turn(std::shared_ptr<Shared> shared, bool pastItsTurn);

        std::shared_ptr<Shared> shared_;
        double began_;
        bool pastItsTurn_;
        bool gaveUp_ = false;
    };
    using Decoding = std::function<void(Turn&)>;

    explicit DecodingTurns(Configuration configuration);
    ~DecodingTurns();
    DecodingTurns(const DecodingTurns&) = delete;
    DecodingTurns& operator=(const DecodingTurns&) = delete;

    void add(Decoding decoding);
    // Decodings running or waiting for a place.
    std::size_t count() const;

private:
    static void work(const std::shared_ptr<Turn::Shared>& shared);

    std::shared_ptr<Turn::Shared> shared_;
    // Last, so that it goes first: its threads are joined before the rest goes.
    OperationQueue threads_;
};

} // namespace cw::images
