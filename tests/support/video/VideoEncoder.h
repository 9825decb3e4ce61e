#pragma once

// Videos that tests and benchmarks make on the spot, with the server's encoder (no media files in
// the repository), and the flat-grey pictures that let a test tell which picture a player shows.

#include "server/video/VideoEncoder.h"

namespace cw::test {

using cw::server::countingFrames;
using cw::server::encodeVideo;
using cw::server::FramePixels;
using cw::server::PaintFrame;
using cw::server::VideoSpec;

// A painter that fills picture i with one flat grey, 20 + 8·(i mod 25), which survives the
// compression closely enough to tell the pictures apart.
PaintFrame flatGreyFrames();
// The grey `flatGreyFrames` paints picture `index` with.
int greyOfFrame(int index);
// The picture (0–24) whose grey is nearest to `grey`.
int frameOfGrey(int grey);

} // namespace cw::test
