#include "uikit/controllers/UIImagePickerController.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/controllers/SystemSheetView.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UICollectionView.h"
#include "uikit/view/UIImageView.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>

namespace {

struct PickedFiles {
    std::mutex mutex;
    std::map<std::string, std::filesystem::path> byReference;
};
PickedFiles& pickedFiles() {
    static PickedFiles files;
    return files;
}

// A new library address for a picked file. The identifier is random, so an address kept from
// another run of the program never names a different picture.
std::string referenceFor(const std::filesystem::path& file) {
    static std::mutex mutex;
    static std::mt19937_64 random{std::random_device{}()};
    std::uint64_t high, low;
    {
        std::lock_guard lock(mutex);
        high = random();
        low = random();
    }
    char id[40];
    std::snprintf(id, sizeof id, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    ext = ext == ".PNG" ? "PNG" : "JPG"; // the picker reads nothing else
    return "assets-library://asset/asset." + ext + "?id=" + id + "&ext=" + ext;
}

// Thumbnails are made one at a time, in the order the tiles asked, on a queue of their own: a
// library scrolled through quickly waits on no more than the picture being read.
const DispatchQueue& thumbnailQueue() {
    static const auto* queue = new DispatchQueue("photo library thumbnails", DispatchQoS::userInitiated);
    return *queue;
}

bool isPictureName(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".jpg" || ext == ".jpeg" || ext == ".png";
}

} // namespace

namespace cw {

// One picture of the library: a square of its middle. A tile asks for its thumbnail when it is
// given a picture and stops waiting for it when it is given another or goes away; a file that
// gives no thumbnail leaves the tile blank.
class PhotoTile : public UICollectionViewCell {
public:
    explicit PhotoTile(const CGRect& frame) : UICollectionViewCell(frame) {
        contentView()->setBackgroundColor(UIColor::withWhite(0.93, 1));
        image_ = std::make_shared<UIImageView>(contentView()->bounds());
        image_->setContentMode(UIViewContentMode::scaleAspectFill);
        image_->setClipsToBounds(true);
        image_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        contentView()->addSubview(image_);
    }
    ~PhotoTile() override { stopWaiting(); }
    std::string className() const override { return "PUPhotoTile"; }

    void show(const std::filesystem::path& file, int thumbnailSide) {
        stopWaiting();
        image_->setImage(nullptr);
        setAccessibilityIdentifier(file.filename().string());
        auto wanted = std::make_shared<std::atomic<bool>>(true);
        wanted_ = wanted;
        std::weak_ptr<PhotoTile> weakSelf = std::static_pointer_cast<PhotoTile>(shared_from_this());
        thumbnailQueue().async([file, thumbnailSide, wanted, weakSelf] {
            if (!*wanted) return;
            auto thumbnail = UIImage::fromFile(file, nullptr, thumbnailSide);
            DispatchQueue::main().async([thumbnail, wanted, weakSelf] {
                auto self = weakSelf.lock();
                if (!self || self->wanted_ != wanted) return;
                self->wanted_.reset();
                self->image_->setImage(thumbnail);
            });
        });
    }
    void prepareForReuse() override {
        stopWaiting();
        image_->setImage(nullptr);
    }
    // The thumbnail shown; none while it is made, or when the file gives none.
    std::shared_ptr<UIImage> thumbnail() const { return image_->image(); }

private:
    void stopWaiting() {
        if (wanted_) *wanted_ = false;
        wanted_.reset();
    }

    std::shared_ptr<UIImageView> image_;
    std::shared_ptr<std::atomic<bool>> wanted_;
};

// The library's grid: four tiles a row (more on a wide screen), two points apart.
class PhotoLibraryGrid : public UICollectionViewDataSource, public UICollectionViewDelegateFlowLayout {
public:
    static constexpr CGFloat kSpacing = 2;

    PhotoLibraryGrid(std::vector<std::filesystem::path> pictures, std::function<void(const std::filesystem::path&)> pick)
        : pictures_(std::move(pictures)), pick_(std::move(pick)) {}

    bool empty() const { return pictures_.empty(); }

    std::shared_ptr<UICollectionView> makeView(const std::shared_ptr<PhotoLibraryGrid>& self) {
        auto layout = std::make_shared<UICollectionViewFlowLayout>();
        layout->minimumLineSpacing = kSpacing;
        layout->minimumInteritemSpacing = kSpacing;
        // No size until the sheet lays it out and fit() sizes the tiles: no tile is made before.
        auto view = std::make_shared<UICollectionView>(CGRect{}, layout);
        view->setBackgroundColor(UIColor::whiteColor());
        view->setAccessibilityIdentifier("PhotoLibraryGrid");
        view->registerCell("PhotoTile", [] { return std::make_shared<PhotoTile>(CGRect{0, 0, 50, 50}); });
        view->setDataSource(std::static_pointer_cast<UICollectionViewDataSource>(self));
        view->setDelegate(std::static_pointer_cast<UICollectionViewDelegate>(self));
        return view;
    }

    // Fits the tiles to the grid's width.
    void fit(UICollectionView& view) {
        const CGFloat width = view.bounds().width();
        if (!(width > 0)) return;
        const int columns = std::max(4, static_cast<int>(width / 120));
        const CGFloat side = std::floor((width - kSpacing * (columns - 1)) / columns);
        auto layout = std::static_pointer_cast<UICollectionViewFlowLayout>(view.collectionViewLayout());
        if (layout->itemSize.width == side) return;
        layout->itemSize = {side, side};
        thumbnailSide_ = static_cast<int>(std::ceil(side * UIScreen::main().scale()));
        layout->invalidateLayout();
        view.reloadData();
    }

    long numberOfItemsInSection(UICollectionView*, long) override { return static_cast<long>(pictures_.size()); }
    std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView* view, const IndexPath& at) override {
        auto tile = view->dequeueReusableCell<PhotoTile>("PhotoTile", at);
        tile->show(pictures_.at(static_cast<std::size_t>(at.item())), thumbnailSide_);
        return tile;
    }
    void didSelectItemAt(UICollectionView* view, const IndexPath& at) override {
        view->deselectItem(at, false);
        pick_(pictures_.at(static_cast<std::size_t>(at.item())));
    }

private:
    std::vector<std::filesystem::path> pictures_;
    std::function<void(const std::filesystem::path&)> pick_;
    int thumbnailSide_ = 200;
};

namespace {

// The library sheet: the bar with its title and Cancel, the grid under it filling the rest.
class PhotoLibrarySheet : public SystemSheetView {
public:
    PhotoLibrarySheet(const CGRect& frame, std::shared_ptr<PhotoLibraryGrid> grid)
        : SystemSheetView(frame, "Photos"), grid_(std::move(grid)) {
        view_ = grid_->makeView(grid_);
        addSubview(view_);
    }
    void layoutSubviews() override {
        SystemSheetView::layoutSubviews();
        const CGRect b = bounds();
        const CGFloat top = safeAreaInsets().top + 44;
        view_->setFrame({0, top, b.width(), std::max<CGFloat>(0, b.height() - top)});
        grid_->fit(*view_);
    }

private:
    std::shared_ptr<PhotoLibraryGrid> grid_;
    std::shared_ptr<UICollectionView> view_;
};

} // namespace

} // namespace cw

void UIImagePickerControllerDelegate::didCancel(UIImagePickerController& picker) {
    picker.dismiss(true);
}

UIImagePickerController::UIImagePickerController() = default;

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type) {
    const auto& host = UIApplication::shared().hostSettings();
    return type == UIImagePickerControllerSourceType::camera ? host.hasCamera : host.hasPhotoLibrary;
}

bool UIImagePickerController::pick(const std::filesystem::path& imageFile, std::string* error) {
    if (finished_) {
        if (error) *error = "the picker has already finished";
        return false;
    }
    if (!isSourceTypeAvailable(sourceType)) {
        if (error)
            *error = sourceType == UIImagePickerControllerSourceType::camera ? "this device has no camera"
                                                                              : "this device has no photo library";
        return false;
    }
    // No screen shows a picture larger than the screen, or sends one larger than it shows: the
    // picture is reduced to the screen's longer side in pixels as it is read, never holding its
    // full-size pixels (a phone's library hands over pictures that are drawn as they are needed).
    const CGRect screen = UIScreen::main().bounds();
    const int side =
        static_cast<int>(std::ceil(std::max(screen.width(), screen.height()) * UIScreen::main().scale()));
    std::string why;
    auto image = UIImage::fromFile(imageFile, &why, side);
    if (!image) {
        if (why.empty()) why = "not an image: " + imageFile.string();
        if (error) *error = why;
        showWhyNotPicked(why);
        return false;
    }
    finished_ = true;
    UIImagePickerInfo info;
    info[UIImagePickerControllerOriginalImage] = image;
    if (allowsEditing) info[UIImagePickerControllerEditedImage] = image;
    info[UIImagePickerControllerImageURL] = std::filesystem::absolute(imageFile).string();
    info[UIImagePickerControllerMediaType] = std::string("public.image");
    const std::string reference = referenceFor(imageFile);
    {
        auto& files = pickedFiles();
        std::lock_guard lock(files.mutex);
        files.byReference[reference] = std::filesystem::absolute(imageFile);
    }
    info[UIImagePickerControllerReferenceURL] = reference;
    auto keep = shared_from_this();
    if (auto d = delegate())
        d->didFinishPickingMediaWithInfo(*this, info);
    else
        dismiss(true);
    return true;
}

std::optional<std::filesystem::path> UIImagePickerController::pickedFile(const std::string& referenceURL) {
    auto& files = pickedFiles();
    std::lock_guard lock(files.mutex);
    auto found = files.byReference.find(referenceURL);
    if (found == files.byReference.end()) return std::nullopt;
    return found->second;
}

void UIImagePickerController::showWhyNotPicked(const std::string& error) {
    // Only a picker on screen has someone to tell.
    if (!isViewLoaded() || !view()->window() || presentedViewController()) return;
    auto alert = UIAlertController::make(
        "Cannot Open Photo",
        UIImage::isRefusedForItsSize(error)
            ? "This photo is too large to open on this phone. Please choose another one."
            : "This photo cannot be opened: its file is damaged or is not a photo. Please choose another one.",
        UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("OK", UIAlertActionStyle::cancel));
    present(alert, true);
}

std::vector<std::filesystem::path> UIImagePickerController::libraryPictures(const std::filesystem::path& folder) {
    struct Found {
        std::filesystem::file_time_type changed;
        std::filesystem::path file;
    };
    // Newest first; of two changed at one moment, the one whose name comes first.
    const auto newer = [](const Found& a, const Found& b) {
        return a.changed != b.changed ? a.changed > b.changed : a.file < b.file;
    };
    std::vector<Found> found; // a heap whose top is the oldest kept
    std::error_code ec;
    std::filesystem::directory_iterator entries(folder, std::filesystem::directory_options::skip_permission_denied, ec);
    std::size_t read = 0;
    for (; !ec && entries != std::filesystem::directory_iterator() && read < kMaxLibraryEntriesRead;
         entries.increment(ec), ++read) {
        const auto& entry = *entries;
        std::error_code statError;
        if (!isPictureName(entry.path()) || !entry.is_regular_file(statError)) continue;
        const auto bytes = entry.file_size(statError);
        if (statError || bytes == 0 || bytes > kMaxLibraryFileBytes) continue;
        const auto changed = entry.last_write_time(statError);
        if (statError) continue;
        found.push_back({changed, entry.path()});
        std::push_heap(found.begin(), found.end(), newer);
        if (found.size() > kMaxLibraryPictures) {
            std::pop_heap(found.begin(), found.end(), newer);
            found.pop_back();
        }
    }
    std::sort(found.begin(), found.end(), newer);
    std::vector<std::filesystem::path> pictures;
    pictures.reserve(found.size());
    for (auto& f : found)
        pictures.push_back(std::move(f.file));
    return pictures;
}

void UIImagePickerController::cancel() {
    if (finished_) return;
    finished_ = true;
    auto keep = shared_from_this();
    if (auto d = delegate())
        d->didCancel(*this);
    else
        dismiss(true);
}

void UIImagePickerController::loadView() {
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    const bool camera = sourceType == UIImagePickerControllerSourceType::camera;
    std::shared_ptr<cw::SystemSheetView> sheet;
    if (camera) {
        sheet = std::make_shared<cw::SystemSheetView>(UIScreen::main().bounds(), "Camera");
        sheet->addText(cameraDevice == UIImagePickerControllerCameraDevice::front ? "Front camera" : "Rear camera",
                       true);
    } else {
        grid_ = std::make_shared<cw::PhotoLibraryGrid>(
            libraryPictures(UIApplication::shared().hostSettings().photoLibraryFolder),
            [weakSelf](const std::filesystem::path& file) {
                if (auto s = std::static_pointer_cast<UIImagePickerController>(weakSelf.lock())) s->pick(file);
            });
        if (grid_->empty()) {
            sheet = std::make_shared<cw::SystemSheetView>(UIScreen::main().bounds(), "Photos");
            sheet->addText("No Photos", true);
        } else {
            sheet = std::make_shared<cw::PhotoLibrarySheet>(UIScreen::main().bounds(), grid_);
        }
    }
    sheet->setRightButton("Cancel", [weakSelf] {
        if (auto s = std::static_pointer_cast<UIImagePickerController>(weakSelf.lock())) s->cancel();
    });
    setView(sheet);
}
