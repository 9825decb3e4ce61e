#include "kits/images/ImageLoader.h"

#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "kits/images/DecodingTurns.h"
#include "kits/images/ImageData.h"
#include "net/AFURLRequestSerialization.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/controllers/UIScreen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

namespace cw::images {

namespace {

// The part of one address's fetch that other threads see: whether it is still wanted, and its
// download once there is one.
struct Work {
    explicit Work(int maxPixelSide) : maxPixelSide(maxPixelSide) {}

    // The most pixels the picture keeps on its longer side.
    const int maxPixelSide;
    std::mutex mutex;
    bool cancelled = false;
    std::shared_ptr<NSURLSessionDataTask> task;

    void cancel() {
        std::shared_ptr<NSURLSessionDataTask> running;
        {
            std::lock_guard lock(mutex);
            cancelled = true;
            running = std::move(task);
        }
        if (running) running->cancel();
    }
    bool isCancelled() {
        std::lock_guard lock(mutex);
        return cancelled;
    }
    // Starts `download` unless the fetch was cancelled meanwhile.
    bool start(const std::shared_ptr<NSURLSessionDataTask>& download) {
        {
            std::lock_guard lock(mutex);
            if (cancelled) return false;
            task = download;
        }
        download->resume();
        return true;
    }
};

struct Waiter {
    std::uint64_t id;
    ImageLoader::Completion completion;
};

// One address being read or downloaded, and the requests waiting for it. Main thread only.
struct Fetch {
    std::shared_ptr<Work> work;
    std::vector<Waiter> waiters;
};

struct Ended final : ImageLoader::Request {
    void cancel() override {}
};

} // namespace

struct ImageLoader::State : std::enable_shared_from_this<ImageLoader::State> {
    explicit State(const Configuration& configuration)
        : memory(configuration.memoryCostLimit), disk(configuration.directory, configuration.diskSizeLimit),
          maxPixelSide(configuration.maxPixelSide), maxDecodingSeconds(configuration.maxDecodingSeconds),
          leastPace(configuration.leastPace),
          decoding({configuration.decodingPlaces, configuration.decodingTurnSeconds, configuration.decodingBegins,
                    configuration.decodingGoesOn}) {}

    MemoryImageCache memory;
    DiskImageCache disk;
    const int maxPixelSide;
    const double maxDecodingSeconds;
    const NSURLRequest::Pace leastPace;
    // One file at a time: reads and writes of one address never overlap.
    DispatchQueue diskQueue{"cradleway.images.disk", DispatchQoS::utility};
    // Last, so that it goes first: its threads are joined before the rest of the state goes.
    DecodingTurns decoding;
    std::map<std::string, Fetch> fetches; // main thread only
    std::uint64_t nextWaiter = 1;
    bool alive = true; // main thread only

    std::shared_ptr<Request> retrieve(const URL& url, Completion completion);
    void cancel(const std::string& key, std::uint64_t id, const std::shared_ptr<Work>& work);
    // Decodes `bytes` in its turn, unless nobody waits for the picture any more by then, and hands
    // the picture, or why there is none, to `done` on the decoding thread. A decoding stops as soon as
    // nobody waits, or it runs out of time.
    void decode(const std::shared_ptr<Work>& work, std::shared_ptr<const Data> bytes,
                std::function<void(std::shared_ptr<UIImage>, std::string why)> done);
    void readDisk(const std::string& key, const std::shared_ptr<Work>& work);
    void download(const std::string& key, const std::shared_ptr<Work>& work);
    void downloaded(const std::string& key, const std::shared_ptr<Work>& work, NSURLSessionDataTask::Outcome outcome);
    void fail(const std::string& key, const std::shared_ptr<Work>& work, NSError error, std::string reason);
    void finish(const std::string& key, const std::shared_ptr<Work>& work, std::shared_ptr<UIImage> image,
                const std::optional<NSError>& error, const std::string& reason, ImageCacheType type);
};

namespace {

struct Waiting final : ImageLoader::Request {
    Waiting(std::weak_ptr<ImageLoader::State> state, std::string key, std::uint64_t id, std::shared_ptr<Work> work)
        : state(std::move(state)), key(std::move(key)), id(id), work(std::move(work)) {}
    void cancel() override {
        if (auto s = state.lock()) s->cancel(key, id, work);
    }
    std::weak_ptr<ImageLoader::State> state;
    std::string key;
    std::uint64_t id;
    std::shared_ptr<Work> work;
};

} // namespace

std::shared_ptr<ImageLoader::Request> ImageLoader::State::retrieve(const URL& url, Completion completion) {
    const std::string key = url.absoluteString();
    if (auto image = memory.image(key)) {
        if (completion) completion(image, std::nullopt, ImageCacheType::memory);
        return std::make_shared<Ended>();
    }
    const std::uint64_t id = nextWaiter++;
    auto [entry, fresh] = fetches.try_emplace(key);
    entry->second.waiters.push_back({id, std::move(completion)});
    if (fresh) {
        // No picture is drawn larger than the screen: none is decoded larger either.
        int side = maxPixelSide;
        if (side <= 0) {
            const CGRect screen = UIScreen::main().bounds();
            side = static_cast<int>(std::ceil(std::max(screen.width(), screen.height()) * UIScreen::main().scale()));
        }
        entry->second.work = std::make_shared<Work>(side);
        diskQueue.async([self = shared_from_this(), key, work = entry->second.work] { self->readDisk(key, work); });
    }
    return std::make_shared<Waiting>(weak_from_this(), key, id, entry->second.work);
}

void ImageLoader::State::cancel(const std::string& key, std::uint64_t id, const std::shared_ptr<Work>& work) {
    auto found = fetches.find(key);
    if (found == fetches.end() || found->second.work != work) return;
    auto& waiters = found->second.waiters;
    std::erase_if(waiters, [id](const Waiter& w) { return w.id == id; });
    if (!waiters.empty()) return;
    // Nobody waits any more: stop the download rather than finish it for no one.
    work->cancel();
    fetches.erase(found);
}

void ImageLoader::State::decode(const std::shared_ptr<Work>& work, std::shared_ptr<const Data> bytes,
                                std::function<void(std::shared_ptr<UIImage>, std::string why)> done) {
    decoding.add([self = shared_from_this(), work, bytes = std::move(bytes), done = std::move(done)](
                     DecodingTurns::Turn& turn) {
        if (work->isCancelled()) return;
        bool outOfTime = false;
        std::string why;
        auto image = decodePicture(*bytes, &why, work->maxPixelSide, [&] {
            if (work->isCancelled()) return false;
            outOfTime = turn.seconds() >= self->maxDecodingSeconds;
            return !outOfTime && turn.mayGoOn();
        });
        // Nobody waits for it, or it starts again in a later turn.
        if (work->isCancelled() || turn.gaveUp()) return;
        if (outOfTime) {
            char text[96];
            std::snprintf(text, sizeof text, "its decoding takes more than %g seconds", self->maxDecodingSeconds);
            why = text;
        }
        done(std::move(image), std::move(why));
    });
}

void ImageLoader::State::readDisk(const std::string& key, const std::shared_ptr<Work>& work) {
    if (work->isCancelled()) return;
    auto bytes = disk.read(key);
    if (!bytes) {
        download(key, work);
        return;
    }
    decode(work, std::make_shared<const Data>(std::move(*bytes)), [self = shared_from_this(), key, work](std::shared_ptr<UIImage> image, std::string why) {
        if (image) {
            DispatchQueue::main().async([self, key, work, image = std::move(image)] {
                self->finish(key, work, image, std::nullopt, {}, ImageCacheType::disk);
            });
            return;
        }
        self->diskQueue.async([self, key, work, why] {
            self->disk.remove(key);
            std::fprintf(stderr, "cradleway: the cached picture of %s could not be read (%s); it is fetched again\n",
                         key.c_str(), why.c_str());
            self->download(key, work);
        });
    });
}

void ImageLoader::State::download(const std::string& key, const std::shared_ptr<Work>& work) {
    NSURLRequest request;
    request.url = key;
    request.headers = {{"Accept", "image/png, image/jpeg;q=0.9, */*;q=0.5"}};
    // The transfer itself stops a reply at the limit, counting the bytes it inflates a compressed
    // reply to: what arrives on the wire says nothing of what the reply would hold.
    request.maximumReplyLength = kMaxPictureBytes;
    // Idle no longer than any request of the API, and slower than the least pace no longer than it
    // says: a photo that keeps coming over a slow ward link arrives however long it takes in all.
    request.timeoutInterval = AFJSONRequestSerializer::defaultTimeoutInterval();
    request.leastPace = leastPace;
    auto task = NSURLSessionDataTask::make(
        std::move(request), [self = shared_from_this(), key, work](const std::shared_ptr<NSURLSessionDataTask>&,
                                                                   NSURLSessionDataTask::Outcome outcome) {
            self->downloaded(key, work, std::move(outcome));
        });
    // Pictures never hold every connection to their server: a screen's own requests go first.
    task->setPriority(NSURLSessionTaskPriorityLow);
    work->start(task);
}

void ImageLoader::State::downloaded(const std::string& key, const std::shared_ptr<Work>& work,
                                    NSURLSessionDataTask::Outcome outcome) {
    if (outcome.error && outcome.error->code == NSURLErrorDataLengthExceedsMaximum) {
        fail(key, work, makeURLError(NSURLErrorDataLengthExceedsMaximum, key), "larger than 20 MB");
        return;
    }
    if (outcome.error) {
        if (work->isCancelled()) return; // nobody waits
        const std::string reason = outcome.error->localizedDescription();
        fail(key, work, std::move(*outcome.error), reason);
        return;
    }
    const int status = outcome.response->statusCode();
    if (status < 200 || status > 299) {
        fail(key, work, makeURLError(NSURLErrorBadServerResponse, key),
             "the server answered with HTTP status " + std::to_string(status));
        return;
    }
    auto body = std::make_shared<const Data>(std::move(outcome.body));
    decode(work, body, [self = shared_from_this(), key, work, body](std::shared_ptr<UIImage> image, std::string why) {
        if (!image) {
            self->fail(key, work, makeURLError(NSURLErrorCannotDecodeContentData, key), why);
            return;
        }
        // Written before the picture is handed out, so whoever sees the picture finds the file.
        self->diskQueue.async([self, key, work, body, image = std::move(image)] {
            std::string error;
            if (!work->isCancelled() && !self->disk.write(key, *body, &error))
                std::fprintf(stderr, "cradleway: the picture of %s is not kept on disk: %s\n", key.c_str(),
                             error.c_str());
            DispatchQueue::main().async([self, key, work, image] {
                self->finish(key, work, image, std::nullopt, {}, ImageCacheType::none);
            });
        });
    });
}

void ImageLoader::State::fail(const std::string& key, const std::shared_ptr<Work>& work, NSError error,
                              std::string reason) {
    DispatchQueue::main().async([self = shared_from_this(), key, work, error = std::move(error),
                                 reason = std::move(reason)] {
        self->finish(key, work, nullptr, error, reason, ImageCacheType::none);
    });
}

void ImageLoader::State::finish(const std::string& key, const std::shared_ptr<Work>& work,
                                std::shared_ptr<UIImage> image, const std::optional<NSError>& error,
                                const std::string& reason, ImageCacheType type) {
    if (!alive) return;
    auto found = fetches.find(key);
    if (found == fetches.end() || found->second.work != work) return; // abandoned meanwhile
    std::vector<Waiter> waiters = std::move(found->second.waiters);
    fetches.erase(found);
    if (image)
        memory.insert(key, image);
    else
        std::fprintf(stderr, "cradleway: picture %s not shown: %s\n", key.c_str(), reason.c_str());
    for (auto& waiter : waiters)
        if (waiter.completion) waiter.completion(image, error, type);
}

// ---- The loader -----------------------------------------------------------------------------------

namespace {
// Never destroyed at exit: its downloads would be cancelled on a network engine already gone.
std::unique_ptr<ImageLoader>& sharedLoader() {
    static auto* loader = new std::unique_ptr<ImageLoader>();
    return *loader;
}
std::function<void(ImageLoader::Configuration&)>& sharedAdjustment() {
    static auto* adjust = new std::function<void(ImageLoader::Configuration&)>();
    return *adjust;
}
} // namespace

ImageLoader& ImageLoader::shared() {
    auto& loader = sharedLoader();
    if (!loader) {
        Configuration configuration{cw::cachesDirectory() / "images"};
        if (sharedAdjustment()) sharedAdjustment()(configuration);
        loader = std::make_unique<ImageLoader>(configuration);
    }
    return *loader;
}

void ImageLoader::resetShared(std::function<void(Configuration&)> adjust) {
    sharedLoader().reset();
    sharedAdjustment() = std::move(adjust);
}

ImageLoader::ImageLoader(Configuration configuration) : state_(std::make_shared<State>(configuration)) {}

ImageLoader::~ImageLoader() {
    // The waiting callbacks hold views: they go here, on the main thread, and never run.
    state_->alive = false;
    for (auto& [key, fetch] : state_->fetches)
        fetch.work->cancel();
    state_->fetches.clear();
}

std::shared_ptr<ImageLoader::Request> ImageLoader::retrieve(const URL& url, Completion completion) {
    return state_->retrieve(url, std::move(completion));
}

MemoryImageCache& ImageLoader::memoryCache() {
    return state_->memory;
}

DiskImageCache& ImageLoader::diskCache() {
    return state_->disk;
}

std::size_t ImageLoader::pendingCount() const {
    return state_->fetches.size();
}

std::size_t ImageLoader::decodingCount() const {
    return state_->decoding.count();
}

} // namespace cw::images
