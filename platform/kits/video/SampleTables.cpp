#include "kits/video/SampleTables.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace cw::video {

namespace {

constexpr std::uint32_t fourcc(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}

// Deeper than any file nests its boxes, and than the demuxer reads them.
constexpr int kDeepestBox = 16;

// Counts past the bound are all the same: too many.
std::uint64_t bounded(std::uint64_t count) {
    return std::min(count, kMaximumIndexedSamples + 1);
}

// The fixed fields of a box are read as the demuxer reads them, from the bytes that follow whatever
// the box's own size says; past the end of the file they read as zero.
struct Bytes {
    const std::uint8_t* data;
    std::size_t size;

    std::uint32_t u8(std::size_t at) const { return at < size ? data[at] : 0; }
    std::uint32_t u16(std::size_t at) const { return u8(at) << 8 | u8(at + 1); }
    std::uint32_t u32(std::size_t at) const { return u16(at) << 16 | u16(at + 2); }
    std::uint64_t u64(std::size_t at) const { return std::uint64_t{u32(at)} << 32 | u32(at + 4); }
};

struct Box {
    std::uint32_t type;
    std::size_t start, body, end;
};

// The box at `at` within its parent, which ends at `limit`, as the demuxer sizes it: a size of zero
// runs to the parent's end and a larger one stops there. None where no box can stand.
std::optional<Box> boxAt(const Bytes& file, std::size_t at, std::size_t limit) {
    if (at > limit || limit - at < 8) return std::nullopt;
    std::uint64_t size = file.u32(at);
    std::size_t header = 8;
    if (size == 1) {
        if (limit - at < 16) return std::nullopt;
        size = file.u64(at + 8);
        header = 16;
    } else if (size == 0) {
        size = limit - at;
    }
    if (size < header) return std::nullopt;
    return Box{file.u32(at + 4), at, at + header, at + static_cast<std::size_t>(std::min<std::uint64_t>(size, limit - at))};
}

// What the boxes of one track (or those outside every track) declare.
struct Track {
    std::uint64_t samples = 0;      // of its sample-size tables, all together
    std::uint64_t chunks = 0;       // the most any of its chunk tables lists
    std::uint64_t mostPerChunk = 0; // samples in a chunk
    std::uint64_t edits = 0;        // the most any of its edit lists holds
    bool sound = false, otherMedia = false;
    bool oneTickTiming = true, timed = false;
    // Another track stands within it: the demuxer gives what follows that one to that one.
    bool holdsTrack = false;

    // Raw sound of one tick a sample is indexed a chunk at a time: a share of each chunk's samples
    // (at least a 160th) an entry. Anything else: an entry for each sample. Each edit indexes the
    // samples again.
    std::uint64_t indexEntries() const {
        const bool rawSound = sound && !otherMedia && timed && oneTickTiming && !holdsTrack;
        const std::uint64_t entries = rawSound ? bounded(chunks * (mostPerChunk / 160 + 1)) : bounded(samples);
        return bounded(entries * std::max<std::uint64_t>(edits, 1));
    }
};

// The boxes the demuxer reads other boxes in, from their first byte.
bool holdsBoxes(std::uint32_t type) {
    switch (type) {
    case fourcc("moov"):
    case fourcc("trak"):
    case fourcc("mdia"):
    case fourcc("minf"):
    case fourcc("stbl"):
    case fourcc("edts"):
    case fourcc("dinf"):
    case fourcc("udta"):
    case fourcc("tref"):
    case fourcc("mvex"):
    case fourcc("moof"):
    case fourcc("traf"):
    case fourcc("mfra"):
    case fourcc("ilst"):
    case fourcc("wave"):
    case fourcc("sinf"):
    case fourcc("schi"):
        return true;
    default:
        return false;
    }
}

class Weighing {
public:
    explicit Weighing(Bytes file) : file_(file), boxesLeft_(file.size / 8 + 64), chunkEntriesLeft_(file.size / 3) {}

    std::optional<std::string> weigh() {
        if (auto why = walk(0, file_.size, 0)) return why;
        // What stands outside every track goes to whichever track the demuxer read last: its edits
        // may edit any of them.
        std::uint64_t entries = bounded(loose_.samples);
        for (const Track& track : tracks_)
            entries = bounded(entries + track.indexEntries());
        entries = bounded(bounded(entries * std::max<std::uint64_t>(loose_.edits, 1)) + fragmentSamples_);
        if (entries > kMaximumIndexedSamples)
            return "the file's tracks declare more than " + std::to_string(kMaximumIndexedSamples) + " samples to index";
        return std::nullopt;
    }

private:
    // The boxes from `at` to `end`, as the demuxer reads them: one after another until one cannot be.
    std::optional<std::string> walk(std::size_t at, std::size_t end, int depth) {
        if (depth > kDeepestBox) return std::string("the file's headers nest boxes too deeply");
        while (auto box = boxAt(file_, at, end)) {
            if (boxesLeft_-- == 0) return std::string("the file's headers hold more boxes than its bytes could");
            if (auto why = weigh(*box, depth)) return why;
            at = box->end;
        }
        return std::nullopt;
    }

    std::optional<std::string> weigh(const Box& box, int depth) {
        const std::size_t b = box.body;
        if (box.type == fourcc("trak")) {
            if (!open_.empty()) open_.back()->holdsTrack = true;
            tracks_.emplace_back();
            // Its own boxes are counted to it (a deque keeps the open tracks where they are).
            open_.push_back(&tracks_.back());
            auto why = walk(b, box.end, depth + 1);
            open_.pop_back();
            return why;
        }
        if (holdsBoxes(box.type)) return walk(b, box.end, depth + 1);
        // A movie's headers kept in a box of spare room, where the demuxer looks for them too.
        if ((box.type == fourcc("free") || box.type == fourcc("hoov")) &&
            (file_.u32(b + 4) == fourcc("mvhd") || file_.u32(b + 4) == fourcc("cmov")))
            return walk(b, box.end, depth + 1);
        Track& track = open_.empty() ? loose_ : *open_.back();
        switch (box.type) {
        case fourcc("cmov"):
            return std::string("the file's headers are compressed");
        case fourcc("meta"):
            // From its handler on, wherever that stands.
            for (std::size_t at = b; at + 4 <= box.end; at += 4)
                if (file_.u32(at) == fourcc("hdlr")) return walk(at - 4, box.end, depth + 1);
            return std::nullopt;
        case fourcc("stsd"):
            return sampleDescriptions(box, depth);
        case fourcc("hdlr"): {
            const std::uint32_t kind = file_.u32(b + 8);
            if (kind == fourcc("soun"))
                track.sound = true;
            else if (kind == fourcc("vide") || kind == fourcc("subp") || kind == fourcc("clcp"))
                track.otherMedia = true;
            return std::nullopt;
        }
        case fourcc("stts"):
            track.timed = true;
            track.oneTickTiming = track.oneTickTiming && file_.u32(b + 4) == 1 && file_.u32(b + 12) == 1;
            return table(box, b + 4, b + 8, 8);
        case fourcc("ctts"):
            return table(box, b + 4, b + 8, 8);
        case fourcc("stss"):
        case fourcc("stps"):
            return table(box, b + 4, b + 8, 4);
        case fourcc("stco"):
        case fourcc("co64"):
            track.chunks = std::max<std::uint64_t>(track.chunks, file_.u32(b + 4));
            return table(box, b + 4, b + 8, box.type == fourcc("co64") ? 8 : 4);
        case fourcc("stsc"): {
            if (auto why = table(box, b + 4, b + 8, 12)) return why;
            const std::uint64_t count = file_.u32(b + 4);
            if (count > chunkEntriesLeft_) return std::string("the file's headers hold more boxes than its bytes could");
            chunkEntriesLeft_ -= count;
            for (std::uint64_t i = 0; i < count; ++i)
                track.mostPerChunk = std::max<std::uint64_t>(track.mostPerChunk, file_.u32(b + 8 + i * 12 + 4));
            return std::nullopt;
        }
        case fourcc("elst"):
            track.edits = std::max<std::uint64_t>(track.edits, file_.u32(b + 4));
            return table(box, b + 4, b + 8, file_.u8(b) == 1 ? 20 : 12);
        case fourcc("stsz"): {
            const std::uint64_t size = file_.u32(b + 4), count = file_.u32(b + 8);
            track.samples = bounded(track.samples + count);
            if (size == 0) return table(box, b + 8, b + 12, 4);
            return samples(count, size);
        }
        case fourcc("stz2"): {
            const std::uint64_t bits = file_.u8(b + 7), count = file_.u32(b + 8);
            track.samples = bounded(track.samples + count);
            if (auto why = samples(count, 1)) return why;
            return fits(box, b + 12, (count * bits + 7) / 8);
        }
        case fourcc("trun"): {
            const std::uint32_t flags = file_.u32(b) & 0xFFFFFF;
            const std::uint64_t count = file_.u32(b + 4);
            // Each of duration, size, flags and composition offset a sample may carry.
            const std::uint64_t perSample = 4u * static_cast<unsigned>(__builtin_popcount(flags & 0xF00));
            const std::size_t first = b + 8 + (flags & 0x1 ? 4 : 0) + (flags & 0x4 ? 4 : 0);
            fragmentSamples_ = bounded(fragmentSamples_ + count);
            if (auto why = samples(count, 1)) return why;
            return fits(box, first, count * perSample);
        }
        case fourcc("tfra"): {
            const std::uint32_t lengths = file_.u32(b + 8);
            const std::uint64_t entry = (file_.u8(b) == 1 ? 16 : 8) + ((lengths >> 4) & 3) + ((lengths >> 2) & 3) +
                                        (lengths & 3) + 3;
            return table(box, b + 12, b + 16, entry);
        }
        case fourcc("senc"):
            return samples(file_.u32(b + 4), 1);
        case fourcc("saiz"): {
            const std::size_t fields = b + 4 + (file_.u32(b) & 1 ? 8 : 0);
            const std::uint64_t count = file_.u32(fields + 1);
            if (auto why = samples(count, 1)) return why;
            return file_.u8(fields) == 0 ? fits(box, fields + 5, count) : std::nullopt;
        }
        default:
            return std::nullopt;
        }
    }

    // A sample description is followed by boxes the demuxer reads as any others, from where its
    // fields end: after those of a picture (and its palette, if it has one), of a sound (by its
    // version), or of anything else. The walk starts at each of those places.
    std::optional<std::string> sampleDescriptions(const Box& box, int depth) {
        std::size_t at = box.body + 8;
        while (auto entry = boxAt(file_, at, box.end)) {
            at = entry->end;
            const std::size_t s = entry->start;
            std::vector<std::size_t> ends = {16, 34, 36, 52, 72, 86};
            const std::uint32_t depthBits = file_.u16(s + 82) & 0x1F;
            if (depthBits == 1 || depthBits == 2 || depthBits == 4 || depthBits == 8) {
                const std::uint64_t first = file_.u32(s + 86), last = file_.u16(s + 92);
                ends.push_back(94 + (first <= last && last <= 255 ? 8 * (last - first + 1) : 0));
            }
            for (std::size_t fields : ends)
                if (s + fields < entry->end)
                    if (auto why = walk(s + fields, entry->end, depth + 1)) return why;
        }
        return std::nullopt;
    }

    // A table of `count` (read at `countAt`) entries of `entryBytes` each, listed from `first`.
    std::optional<std::string> table(const Box& box, std::size_t countAt, std::size_t first, std::uint64_t entryBytes) {
        const std::uint64_t count = file_.u32(countAt);
        if (count > kMaximumIndexedSamples)
            return "a table of the file's headers declares " + std::to_string(count) + " entries, more than " +
                   std::to_string(kMaximumIndexedSamples);
        return fits(box, first, count * entryBytes);
    }

    std::optional<std::string> fits(const Box& box, std::size_t first, std::uint64_t bytes) const {
        if (first <= box.end && bytes <= box.end - first) return std::nullopt;
        return std::string("a table of the file's headers lists more entries than its box holds");
    }

    // `count` samples of at least `bytes` each.
    std::optional<std::string> samples(std::uint64_t count, std::uint64_t bytes) const {
        if (count <= file_.size && count * bytes <= file_.size) return std::nullopt;
        return "the file's headers declare " + std::to_string(count) + " samples, more than its " +
               std::to_string(file_.size) + " bytes hold";
    }

    Bytes file_;
    // What the walk may still read: each box, and each entry of a chunk table, is read once in a
    // file whose boxes do not overlap, a few times at most in one whose sample descriptions are read
    // from several places.
    std::size_t boxesLeft_;
    std::uint64_t chunkEntriesLeft_;
    std::deque<Track> tracks_;
    std::vector<Track*> open_;
    Track loose_;
    std::uint64_t fragmentSamples_ = 0;
};

} // namespace

std::optional<std::string> checkSampleTables(const std::uint8_t* bytes, std::size_t size) {
    return Weighing(Bytes{bytes, size}).weigh();
}

} // namespace cw::video
