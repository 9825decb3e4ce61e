#include "PostsFixture.h"
#include "Controllers/Posts/PostViewController.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controls/UIKeyboard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

using namespace cw::test;

namespace {

// The pictures the demo server keeps, by path.
std::set<std::filesystem::path> storedPictures(const std::filesystem::path& serverDirectory) {
    std::set<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(serverDirectory))
        if (entry.is_regular_file() && (entry.path().extension() == ".jpg" || entry.path().extension() == ".png"))
            files.insert(entry.path());
    return files;
}

} // namespace

class PhotoLibraryPosting : public PostsScreenTest {};

// As a family found it: the composer's photo button opened a library with nothing to tap. Her
// photos are tiles, newest first; a tap on one puts that picture in the post, and the post sent
// carries it.
TEST_F(PhotoLibraryPosting, APhotoTappedInHerLibraryIsThePictureThePostCarries) {
    const auto library = environment->directory() / "Pictures";
    std::filesystem::create_directories(library);
    const auto now = std::filesystem::file_time_type::clock::now();
    ASSERT_TRUE(writeOneColourPicture(library / "older.png", 0xFF3050E0u, 300, 400));
    std::filesystem::last_write_time(library / "older.png", now - std::chrono::hours(30));
    ASSERT_TRUE(writeOneColourPicture(library / "cuddle.png", 0xFFE6804Du, 400, 200));
    std::filesystem::last_write_time(library / "cuddle.png", now - std::chrono::hours(2));
    UIApplication::shared().hostSettings().photoLibraryFolder = library;

    signInAndLaunch();
    auto composer = openComposer();
    ASSERT_TRUE(host->type("First cuddle"));
    ASSERT_TRUE(host->tapIdentifier("cameraButton"));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(std::dynamic_pointer_cast<UIImagePickerController>(host->topViewController()));
    auto newest = host->findByIdentifier("cuddle.png"), older = host->findByIdentifier("older.png");
    ASSERT_TRUE(newest && older) << "her photos are not shown as tiles";
    EXPECT_LT(newest->convert(CGPoint{0, 0}, nullptr).x, older->convert(CGPoint{0, 0}, nullptr).x)
        << "the newest is not first";

    ASSERT_TRUE(host->tap(newest));
    ASSERT_EQ(composer->postImages.size(), 1u) << "the tap picked nothing";
    EXPECT_EQ(composer->postImages[0]->pixelWidth(), 400);
    EXPECT_EQ(composer->postImages[0]->pixelHeight(), 200);
    EXPECT_FALSE(std::dynamic_pointer_cast<UIImagePickerController>(host->topViewController()))
        << "the picker stayed";

    const auto before = storedPictures(environment->directory() / "server");
    composer->dismissKeyboard();
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(awaitCount("SELECT COUNT(*) FROM post_media WHERE post_id = (SELECT id FROM posts WHERE post_text = "
                           "'First cuddle')",
                           1));
    std::vector<std::filesystem::path> sent;
    for (const auto& file : storedPictures(environment->directory() / "server"))
        if (!before.contains(file)) sent.push_back(file);
    ASSERT_EQ(sent.size(), 1u);
    auto stored = UIImage::fromFile(sent[0]);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->pixelWidth(), 2 * stored->pixelHeight()) << "another picture was posted";
    const UIColor middle = stored->pixelColor(stored->pixelWidth() / 2, stored->pixelHeight() / 2);
    EXPECT_NEAR(middle.red(), 0xE6 / 255.0, 0.05);
    EXPECT_NEAR(middle.blue(), 0x4D / 255.0, 0.05);
}
