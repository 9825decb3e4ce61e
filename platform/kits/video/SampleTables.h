#pragma once

// What an MP4 or QuickTime file's headers declare, weighed before the demuxer reads them. The demuxer
// builds an index of every sample a track declares, tens of bytes each, before it reads a single one,
// and one table entry can declare billions of samples: a file of a few hundred bytes would take
// gigabytes. So a file is refused when what its headers declare cannot be what it holds:
//
// - a table whose entries are listed (times, chunks, sizes, edits, sync samples) must fit in its box;
// - the samples of a track or of a fragment's run each hold a byte at least (a fixed sample size,
//   all of them together): they cannot outnumber the file's bytes;
// - the index they make (a track's samples once for each of its edits) holds at most
//   kMaximumIndexedSamples entries, some hours of video at any frame rate.
//
// The boxes are walked as the demuxer walks them, not only where a well-formed file keeps them: it
// reads a sample table in any box it reads boxes in (user data, the boxes after a sample
// description's fields, a metadata box from its handler on), giving it to the track it read last.
// Raw sound whose samples are single sound samples (one tick each) is indexed a chunk at a time, as
// the demuxer does, so a camera's long PCM soundtrack is no reason to refuse its video. Compressed
// headers, which no file of this century holds, are refused: they cannot be weighed unread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace cw::video {

// Some 24 bytes of the demuxer's memory each, up to 60 with a track's composition times and the
// index its edits make anew: at most some 180 MB. Hours of video at any frame rate, with its sound.
inline constexpr std::uint64_t kMaximumIndexedSamples = 3'000'000;

// None when the headers declare what the file can hold; otherwise why not, in words.
std::optional<std::string> checkSampleTables(const std::uint8_t* bytes, std::size_t size);

} // namespace cw::video
