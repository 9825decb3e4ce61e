#pragma once

// What the posts benchmarks share: a bundle naming a recording server that answers everything,
// the drawn pictures, the storyboards, and a signed-in member.

#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"

namespace cw::bench {

struct PostsEnvironment {
    PostsEnvironment();
    void signIn();
    cw::test::RecordingServer server;
    cw::test::AppEnvironment environment{"cw-posts-bench"};
};

// Made once, on first use, for the whole run.
PostsEnvironment& postsEnvironment();

} // namespace cw::bench
