#include "kits/images/ImageCache.h"

#include "foundation/defaults/Storage.h"
#include "uikit/graphics/UIGraphics.h"

#include <sodium.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace cw::images {

// ---- Memory ---------------------------------------------------------------------------------------

MemoryImageCache::MemoryImageCache(std::size_t costLimit) : costLimit_(costLimit) {}

std::size_t MemoryImageCache::cost(const UIImage& image) {
    return static_cast<std::size_t>(image.pixelWidth()) * static_cast<std::size_t>(image.pixelHeight()) * 4 +
           scaledCopiesBytes(image);
}

void MemoryImageCache::recount(Entry& entry) {
    const std::size_t now = cost(*entry.image);
    totalCost_ = totalCost_ - entry.cost + now;
    entry.cost = now;
}

std::shared_ptr<UIImage> MemoryImageCache::image(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    // Hand out a reference before anything is forgotten: the entry itself may be what is.
    std::shared_ptr<UIImage> image = found->second->image;
    recount(*found->second);
    evict();
    return image;
}

void MemoryImageCache::insert(const std::string& key, std::shared_ptr<UIImage> image) {
    if (!image) return;
    const std::size_t bytes = cost(*image);
    std::lock_guard lock(mutex_);
    if (auto found = index_.find(key); found != index_.end()) {
        totalCost_ -= found->second->cost;
        entries_.erase(found->second);
        index_.erase(found);
    }
    if (bytes > costLimit_) return;
    entries_.push_front({key, std::move(image), bytes});
    index_[key] = entries_.begin();
    totalCost_ += bytes;
    // The others may have gained copies since they were counted.
    for (auto it = std::next(entries_.begin()); it != entries_.end(); ++it)
        recount(*it);
    evict();
}

void MemoryImageCache::evict() {
    while (totalCost_ > costLimit_ && !entries_.empty()) {
        totalCost_ -= entries_.back().cost;
        index_.erase(entries_.back().key);
        entries_.pop_back();
    }
}

void MemoryImageCache::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) return;
    totalCost_ -= found->second->cost;
    entries_.erase(found->second);
    index_.erase(found);
}

void MemoryImageCache::removeAll() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    index_.clear();
    totalCost_ = 0;
}

std::size_t MemoryImageCache::totalCost() const {
    std::lock_guard lock(mutex_);
    return totalCost_;
}

std::size_t MemoryImageCache::count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

// ---- Disk -----------------------------------------------------------------------------------------

namespace {

std::int64_t nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t wallClockNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Cache files are 32 hexadecimal digits; anything else in the directory (a temporary file of an
// interrupted write, a stray file) is not ours to count.
bool isCacheFileName(std::string_view name) {
    if (name.size() != 32) return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

} // namespace

DiskImageCache::DiskImageCache(fs::path directory, std::uint64_t sizeLimit)
    : directory_(std::move(directory)), sizeLimit_(sizeLimit) {
    // Picks the hash implementations; safe to call again and from any thread.
    if (sodium_init() < 0) std::fprintf(stderr, "cradleway: libsodium could not start\n");
}

fs::path DiskImageCache::fileFor(const std::string& key) const {
    unsigned char digest[16];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                       nullptr, 0);
    char hex[sizeof digest * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return directory_ / hex;
}

std::int64_t DiskImageCache::nextStamp() {
    lastStamp_ = std::max(wallClockNow(), lastStamp_ + 1);
    return lastStamp_;
}

void DiskImageCache::loadIndex() {
    if (loaded_) return;
    loaded_ = true;
    std::error_code ec;
    for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        struct stat info {};
        if (::stat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (!isCacheFileName(name)) {
            // What an interrupted write left behind.
            if (name.starts_with(".")) ::unlink(it->path().c_str());
            continue;
        }
        const std::int64_t stamp = nanoseconds(info.st_mtim);
        files_[name] = {static_cast<std::uint64_t>(info.st_size), stamp};
        byUse_.insert({stamp, name});
        totalSize_ += static_cast<std::uint64_t>(info.st_size);
        lastStamp_ = std::max(lastStamp_, stamp);
    }
    trim();
}

void DiskImageCache::touch(const std::string& name, std::int64_t stamp) {
    auto& entry = files_.at(name);
    byUse_.erase({entry.stamp, name});
    entry.stamp = stamp;
    byUse_.insert({stamp, name});
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {static_cast<time_t>(stamp / 1'000'000'000), static_cast<long>(stamp % 1'000'000'000)}};
    ::utimensat(AT_FDCWD, (directory_ / name).c_str(), times, 0);
}

void DiskImageCache::forget(const std::string& name) {
    auto found = files_.find(name);
    if (found == files_.end()) return;
    byUse_.erase({found->second.stamp, name});
    totalSize_ -= found->second.size;
    files_.erase(found);
}

void DiskImageCache::trim() {
    while (totalSize_ > sizeLimit_ && !byUse_.empty()) {
        const std::string name = byUse_.begin()->second;
        ::unlink((directory_ / name).c_str());
        forget(name);
    }
}

std::optional<Data> DiskImageCache::read(const std::string& key) {
    const fs::path file = fileFor(key);
    const std::string name = file.filename().string();
    std::lock_guard lock(mutex_);
    loadIndex();
    if (!files_.count(name)) return std::nullopt;
    FileContents contents = readWholeFile(file);
    if (contents.state != FileContents::State::read) {
        // Removed behind our back, or unreadable: either way it is not a cached picture any more.
        if (contents.state == FileContents::State::unreadable) ::unlink(file.c_str());
        forget(name);
        return std::nullopt;
    }
    touch(name, nextStamp());
    return Data(contents.bytes.begin(), contents.bytes.end());
}

bool DiskImageCache::write(const std::string& key, const Data& bytes, std::string* error) {
    if (bytes.size() > sizeLimit_) return true; // never kept, as if evicted at once
    const fs::path file = fileFor(key);
    const std::string name = file.filename().string();
    std::lock_guard lock(mutex_);
    loadIndex();
    if (!writeFileAtomically(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                             error))
        return false;
    forget(name);
    const std::int64_t stamp = nextStamp();
    files_[name] = {bytes.size(), stamp};
    byUse_.insert({stamp, name});
    totalSize_ += bytes.size();
    touch(name, stamp);
    trim();
    return true;
}

void DiskImageCache::remove(const std::string& key) {
    const fs::path file = fileFor(key);
    std::lock_guard lock(mutex_);
    loadIndex();
    ::unlink(file.c_str());
    forget(file.filename().string());
}

std::uint64_t DiskImageCache::totalSize() {
    std::lock_guard lock(mutex_);
    loadIndex();
    return totalSize_;
}

} // namespace cw::images
