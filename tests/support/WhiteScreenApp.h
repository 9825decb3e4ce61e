#pragma once

// An application whose window shows one plain white screen, for tests that put views or
// controllers of their own on it (present over `root`, push, or add subviews). The headless host
// offers it, so that the gallery's pictures and the tests stand on the same screen.

#include "host/HeadlessHost.h"

namespace cw::test {

using WhiteScreenApp = cw::WhiteScreenApplication;

} // namespace cw::test
