// Fuzz entry for the reader of a video file's headers that weighs what they declare before the
// demuxer reads them.
#include "kits/video/SampleTables.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A refusal always says why.
    if (auto why = cw::video::checkSampleTables(data, size); why && why->empty()) std::abort();
    return 0;
}
