#pragma once

// The two caches behind the image loader: decoded pictures in memory and the downloaded bytes on
// disk. Both forget the least recently used entries first once they hold more than their limit.

#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

namespace cw::images {

// Decoded pictures by address. An entry costs the bytes it holds: its pixels and the resampled
// copies drawing keeps with it, counted again whenever it is found and whenever any picture is
// inserted, so that what drawing added since comes out of the budget too. A picture costlier than
// the whole limit is not kept. Safe from any thread.
class MemoryImageCache {
public:
    explicit MemoryImageCache(std::size_t costLimit);

    // The picture kept under `key`, which becomes the most recently used; none when absent.
    std::shared_ptr<UIImage> image(const std::string& key);
    void insert(const std::string& key, std::shared_ptr<UIImage> image);
    void remove(const std::string& key);
    void removeAll();

    std::size_t totalCost() const;
    std::size_t count() const;
    std::size_t costLimit() const { return costLimit_; }
    // What a decoded picture costs: 4 bytes per pixel, and its kept resampled copies.
    static std::size_t cost(const UIImage& image);

private:
    struct Entry {
        std::string key;
        std::shared_ptr<UIImage> image;
        std::size_t cost;
    };
    void recount(Entry& entry);
    void evict();

    const std::size_t costLimit_;
    mutable std::mutex mutex_;
    std::list<Entry> entries_; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    std::size_t totalCost_ = 0;
};

// Downloaded bytes by address, one file per address in `directory`, named by a hash of the address.
// Files are written atomically (a reader sees the old file or the whole new one); when the files
// together pass the size limit, the least recently used go. Use is remembered in the files'
// modification times, so the order outlasts the process. The directory is read on first use.
// Safe from any thread; every call touches the disk, so none belongs on the main thread.
class DiskImageCache {
public:
    DiskImageCache(std::filesystem::path directory, std::uint64_t sizeLimit);

    // The bytes kept for `key` (which become the most recently used), or none.
    std::optional<Data> read(const std::string& key);
    // Keeps `bytes` for `key`, then trims the cache to its limit. Bytes larger than the whole limit
    // are not kept. False, with the reason in `error`, when the file cannot be written.
    bool write(const std::string& key, const Data& bytes, std::string* error = nullptr);
    void remove(const std::string& key);

    const std::filesystem::path& directory() const { return directory_; }
    std::uint64_t sizeLimit() const { return sizeLimit_; }
    std::uint64_t totalSize();
    // The file that holds `key`'s bytes: a hex BLAKE2b digest of the key.
    std::filesystem::path fileFor(const std::string& key) const;

private:
    void loadIndex();
    void touch(const std::string& name, std::int64_t stamp);
    void forget(const std::string& name);
    void trim();
    std::int64_t nextStamp();

    struct Entry {
        std::uint64_t size;
        std::int64_t stamp; // last use, nanoseconds since the epoch
    };
    const std::filesystem::path directory_;
    const std::uint64_t sizeLimit_;
    std::mutex mutex_;
    bool loaded_ = false;
    std::map<std::string, Entry> files_;
    std::set<std::pair<std::int64_t, std::string>> byUse_; // oldest first
    std::uint64_t totalSize_ = 0;
    std::int64_t lastStamp_ = 0;
};

} // namespace cw::images
