#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Calendar.h"
#include "foundation/time/DateFormatter.h"
#include "host/HeadlessHost.h"
#include "host/HeadlessScript.h"
#include "tests/support/PictureBytes.h"
#include "tests/support/TempDirectory.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controls/UICollectionView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UISwitch.h"
#include "uikit/controls/UITextField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

Date day(const char* ymd) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd").date(ymd);
}

// A form as a family meets it: a list (taller than the screen) holding a relationship field whose
// keyboard is a wheel of eight rows, a birthday field whose keyboard is a date picker bounded to
// March 2019, and a quiet-hours time picker standing in the list itself. It records what the
// wheels report.
class PickerForm : public UIViewController, public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        list = std::make_shared<UIScrollView>(view()->bounds());
        list->setContentSize({375, 1600});
        view()->addSubview(list);
        relationship = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        relationship->setPlaceholder("Relationship");
        wheel = std::make_shared<UIPickerView>();
        relationship->setInputView(wheel);
        list->addSubview(relationship);

        birthday = std::make_shared<UITextField>(CGRect{20, 160, 335, 40});
        birthday->setPlaceholder("Birthday");
        datePicker = std::make_shared<UIDatePicker>();
        datePicker->datePickerMode = UIDatePickerMode::date;
        datePicker->setMinimumDate(day("2019-03-01"));
        datePicker->setMaximumDate(day("2019-03-31"));
        datePicker->addAction([this](UIControl*) { pickedDates.push_back(datePicker->date()); },
                              UIControlEventValueChanged);
        birthday->setInputView(datePicker);
        list->addSubview(birthday);

        quietHours = std::make_shared<UIDatePicker>(CGRect{0, 240, 375, 216});
        quietHours->datePickerMode = UIDatePickerMode::time;
        quietHours->addAction([this](UIControl*) { quietTimes.push_back(quietHours->date()); },
                              UIControlEventValueChanged);
        list->addSubview(quietHours);
    }
    void connect() {
        auto self = std::static_pointer_cast<PickerForm>(shared_from_this());
        wheel->setDataSource(std::static_pointer_cast<UIPickerViewDataSource>(self));
        wheel->setDelegate(std::static_pointer_cast<UIPickerViewDelegate>(self));
    }

    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return static_cast<long>(titles.size()); }
    std::optional<std::string> titleForRow(UIPickerView*, long row, long) override { return titles[row]; }
    void didSelectRow(UIPickerView*, long row, long component) override { picked.emplace_back(row, component); }

    const std::vector<std::string> titles{"Select One", "Mother", "Father", "Grand Parent",
                                          "Aunt",       "Uncle",  "Friend", "Relative"};
    std::shared_ptr<UIScrollView> list;
    std::shared_ptr<UITextField> relationship, birthday;
    std::shared_ptr<UIPickerView> wheel;
    std::shared_ptr<UIDatePicker> datePicker, quietHours;
    std::vector<std::pair<long, long>> picked;
    std::vector<Date> pickedDates, quietTimes;
};

class PickerDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.launch(app));
        form = std::make_shared<PickerForm>();
        form->loadViewIfNeeded();
        form->connect();
        app->root->present(form, false);
        host.settle();
    }
    CGPoint middleOf(const std::shared_ptr<UIView>& view) const { return host.tapPointOf(*view); }
    std::vector<long> rowsPicked() const {
        std::vector<long> rows;
        for (const auto& [row, component] : form->picked)
            rows.push_back(row);
        return rows;
    }

    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::shared_ptr<PickerForm> form;
};

TEST_F(PickerDriver, AWheelFollowsAFingerCoastsAfterAFlickAndTellsItsDelegateOfEachRowItRestsOn) {
    const CGFloat listTop = form->list->contentOffset().y;
    ASSERT_TRUE(host.tapText("Relationship"));
    auto wheel = form->wheel->wheel(0);
    ASSERT_TRUE(wheel);
    const CGFloat row = wheel->rowHeight();
    const CGPoint middle = middleOf(wheel);

    // A slow drag of two rows' height, the finger resting before it lifts: two rows on.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y - 2 * row}, 60));
    EXPECT_EQ(form->wheel->selectedRow(0), 2);
    EXPECT_EQ(rowsPicked(), (std::vector<long>{2}));
    // Let go halfway between two rows, it clicks onto the nearer.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y - 0.7 * row}, 60));
    EXPECT_EQ(form->wheel->selectedRow(0), 3);
    // A flick carries it further than the finger went, and it still stops on a row.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y - row}, 3));
    EXPECT_GT(form->wheel->selectedRow(0), 4);
    EXPECT_EQ(std::fmod(wheel->contentOffset().y + wheel->contentInset().top, row), 0);
    EXPECT_EQ(form->picked.size(), 3u) << "one report for each rest";
    // A tap on the row below the middle turns the wheel to it; one on the middle row does nothing.
    const long before = form->wheel->selectedRow(0);
    ASSERT_TRUE(host.tapPoint({middle.x, middle.y - row}));
    EXPECT_EQ(form->wheel->selectedRow(0), before - 1);
    ASSERT_TRUE(host.tapPoint(middle));
    EXPECT_EQ(form->picked.size(), 4u);
    // The mouse wheel over it turns it a row a notch; the list behind stays where it was.
    ASSERT_TRUE(host.scrollWheel(middle, 2));
    EXPECT_EQ(form->wheel->selectedRow(0), before - 3);
    EXPECT_EQ(form->list->contentOffset().y, listTop);
    // Pulled past its first row it springs back to it.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y + 12 * row}, 60));
    EXPECT_EQ(form->wheel->selectedRow(0), 0);
    EXPECT_EQ(wheel->contentOffset().y, -wheel->contentInset().top);
}

TEST_F(PickerDriver, TurnsTheWheelAboveTheKeyboardRowByRowWithAFingerToATitleOrNumber) {
    // No picker on screen yet: nothing to turn.
    EXPECT_FALSE(host.turnPicker("Father"));

    ASSERT_TRUE(host.tapText("Relationship"));
    ASSERT_TRUE(host.turnPicker("Grand Parent"));
    EXPECT_EQ(form->wheel->selectedRow(0), 3);
    ASSERT_TRUE(host.turnPickerToRow(1));
    EXPECT_EQ(form->wheel->selectedRow(0), 1);
    EXPECT_EQ(rowsPicked(), (std::vector<long>{1, 2, 3, 2, 1})) << "the wheel rests on each row on its way";

    // A title no row has, a row the wheel lacks, a wheel it lacks: nothing turns, nobody is told.
    EXPECT_FALSE(host.turnPicker("Cousin"));
    EXPECT_FALSE(host.turnPickerToRow(8));
    EXPECT_FALSE(host.turnPicker("Mother", 1));
    EXPECT_EQ(form->picked.size(), 5u);
}

TEST_F(PickerDriver, AFieldWhoseInputIsAWheelTakesNoTypedOrPastedText) {
    ASSERT_TRUE(host.tapText("Relationship"));
    EXPECT_FALSE(host.type("Uncle"));
    EXPECT_FALSE(host.paste("Uncle"));
    EXPECT_FALSE(host.deleteBackward());
    EXPECT_EQ(form->relationship->text().value_or(""), "");
    EXPECT_TRUE(form->relationship->isFirstResponder());
    EXPECT_TRUE(form->picked.empty());
}

TEST_F(PickerDriver, TurnsTheDateWheelsToADayWithinTheBoundsAndCannotGetPastThem) {
    ASSERT_TRUE(host.tapText("Birthday"));
    EXPECT_FALSE(host.turnPicker("Mother"));
    ASSERT_TRUE(host.turnDatePicker(day("2019-03-10")));
    const Calendar calendar = Calendar::current();
    EXPECT_TRUE(calendar.isDate(form->datePicker->date(), day("2019-03-10")));
    EXPECT_EQ(form->pickedDates.size(), 21u) << "from the 31st, a rest on each day on the way";

    // A day past a bound springs back to the bound, reporting it: the turn cannot get there.
    form->pickedDates.clear();
    EXPECT_FALSE(host.turnDatePicker(day("2019-05-01")));
    ASSERT_FALSE(form->pickedDates.empty());
    EXPECT_EQ(form->pickedDates.front(), day("2019-03-31")) << "April is past the last day: back to it";
    EXPECT_EQ(form->datePicker->date(), form->pickedDates.back());
    EXPECT_FALSE(host.turnDatePicker(day("2018-12-25")));
    EXPECT_GE(form->datePicker->date(), day("2019-03-01"));

    // The wheels put the month before the day: February has no 31st, the day rolls back.
    form->datePicker->setMinimumDate(std::nullopt);
    ASSERT_TRUE(host.turnDatePicker(day("2019-03-31")));
    ASSERT_TRUE(host.turnDatePicker(day("2019-02-28")));
    EXPECT_TRUE(calendar.isDate(form->datePicker->date(), day("2019-02-28")));

    form->datePicker->setEnabled(false);
    form->pickedDates.clear();
    EXPECT_FALSE(host.turnDatePicker(day("2019-02-12")));
    EXPECT_TRUE(form->pickedDates.empty());
}

TEST_F(PickerDriver, ATimePickerInAListTurnsUnderAFingerAndTheMouseWheelWhileTheListStaysPut) {
    auto hours = form->quietHours->wheel(0);
    ASSERT_TRUE(hours);
    const CGPoint middle = middleOf(hours);
    const CGFloat listTop = form->list->contentOffset().y;
    // 12:26 PM: the finger pulls the hours down to ten, still after noon (the half of the day has
    // a wheel of its own).
    const Date noon = form->quietHours->date();
    ASSERT_EQ(hours->middleRow(), 11);
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y + 2 * hours->rowHeight()}, 60));
    EXPECT_EQ(hours->middleRow(), 9);
    EXPECT_EQ(form->list->contentOffset().y, listTop) << "the list behind the wheel did not scroll";
    ASSERT_EQ(form->quietTimes.size(), 1u);
    EXPECT_EQ(form->quietTimes.back(), noon + 10 * 3600);
    ASSERT_TRUE(host.scrollWheel(middle, -1));
    EXPECT_EQ(hours->middleRow(), 10);
    EXPECT_EQ(form->quietHours->date(), noon + 11 * 3600);
    EXPECT_EQ(form->quietTimes.size(), 2u);
    // Beside the wheel the mouse wheel scrolls the list.
    ASSERT_TRUE(host.scrollWheel({187, 40}, -1));
    EXPECT_GT(form->list->contentOffset().y, listTop);
}

TEST_F(PickerDriver, ScriptsTurnWheelsAndDatePickersWithAFingerAndFailWhereTheyCannotGetThere) {
    std::istringstream script(R"(tap "Relationship"
turn "Father"
tap "Birthday"
turn-date 2019-03-17
)");
    std::ostringstream errors;
    ASSERT_EQ(cw::runHeadlessScript(host, script, {}, errors), cw::kScriptSucceeded) << errors.str();
    EXPECT_EQ(form->wheel->selectedRow(0), 2);
    EXPECT_TRUE(Calendar::current().isDate(form->datePicker->date(), day("2019-03-17")));

    std::istringstream wrongRow("tap \"Relationship\"\nturn \"Cousin\"\n");
    EXPECT_EQ(cw::runHeadlessScript(host, wrongRow, {}, errors), cw::kScriptStepFailed);
    std::istringstream pastTheBound("tap \"Birthday\"\nturn-date 2019-04-02\n");
    errors.str("");
    EXPECT_EQ(cw::runHeadlessScript(host, pastTheBound, {}, errors), cw::kScriptStepFailed);
    EXPECT_NE(errors.str().find("cannot"), std::string::npos) << errors.str();
    std::istringstream typed("tap \"Relationship\"\ntype \"Uncle\"\n");
    EXPECT_EQ(cw::runHeadlessScript(host, typed, {}, errors), cw::kScriptStepFailed);
    std::istringstream notADate("turn-date 17/03/2019\n");
    EXPECT_EQ(cw::runHeadlessScript(host, notADate, {}, errors), cw::kScriptInvalid);
}

} // namespace

namespace {

// A plain field that counts its editing changes, as a code field that reacts to each one does.
class PasteForm : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        field = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        field->setAccessibilityIdentifier("field");
        field->addAction([this](UIControl*) { changes.push_back(field->text().value_or("")); },
                         UIControlEventEditingChanged);
        view()->addSubview(field);
    }
    std::shared_ptr<UITextField> field;
    std::vector<std::string> changes;
};

} // namespace

TEST(PasteDriver, APasteIsOneEditOfAllItsCharactersAndNeedsSomethingThatTakesText) {
    cw::HeadlessHost host;
    auto app = std::make_shared<cw::WhiteScreenApplication>();
    ASSERT_TRUE(host.launch(app));
    auto form = std::make_shared<PasteForm>();
    app->root->present(form, false);
    host.settle();
    EXPECT_FALSE(host.paste("123456")) << "no first responder";

    ASSERT_TRUE(host.tapIdentifier("field"));
    ASSERT_TRUE(host.type("1"));
    EXPECT_FALSE(host.paste("")) << "nothing to paste";
    ASSERT_TRUE(host.paste("23456\n7"));
    EXPECT_EQ(form->field->text(), "123456\n7") << "a line end pasted is text";
    EXPECT_EQ(form->changes, (std::vector<std::string>{"1", "123456\n7"}));
    EXPECT_TRUE(form->field->isFirstResponder()) << "no return key was pressed";
}

namespace {

// A list long enough for several screens, with a switch in its first row: what a finger meets when
// the driver scrolls it.
class LongList : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        list = std::make_shared<UIScrollView>(view()->bounds());
        list->setContentSize({375, 4000});
        view()->addSubview(list);
        toggle = std::make_shared<UISwitch>(CGRect{300, 20, 51, 31});
        list->addSubview(toggle);
    }
    std::shared_ptr<UIScrollView> list;
    std::shared_ptr<UISwitch> toggle;
};

} // namespace

TEST(HeadlessScroll, AFingerScrollsAListWhereItShowsInStrokesAndReachesNothingCoveredOrOutOfTheWindow) {
    cw::HeadlessHost host;
    auto app = std::make_shared<cw::WhiteScreenApplication>();
    ASSERT_TRUE(host.launch(app));
    auto screen = std::make_shared<LongList>();
    app->root->present(screen, false);
    host.settle();

    // Longer than the screen: several strokes, each resting before it lifts, so it ends exactly.
    const CGFloat top = screen->list->contentOffset().y;
    ASSERT_TRUE(host.scroll(screen->list, {0, -1500}));
    EXPECT_EQ(screen->list->contentOffset().y, top + 1500);
    // Shorter than a drag: past it and back.
    ASSERT_TRUE(host.scroll(screen->list, {0, 5}));
    EXPECT_EQ(screen->list->contentOffset().y, top + 1495);
    ASSERT_TRUE(host.scroll(screen->list, {0, 1495}));
    EXPECT_EQ(screen->list->contentOffset().y, top);
    EXPECT_FALSE(screen->toggle->isOn()) << "the finger landed on the switch";

    // A finger that holds the list pulled past its top keeps it there until it lifts.
    ASSERT_TRUE(host.dragAndHold({150, 300}, {150, 340}));
    host.advance(1);
    EXPECT_EQ(screen->list->contentOffset().y, top - 40);
    EXPECT_FALSE(host.dragAndHold({150, 300}, {150, 340})) << "one finger at a time";
    ASSERT_TRUE(host.liftFinger());
    EXPECT_EQ(screen->list->contentOffset().y, top) << "let go, it springs back";
    EXPECT_FALSE(host.liftFinger());

    // Under a view that covers it whole, no finger reaches the list: nothing moves.
    auto cover = std::make_shared<UIView>(screen->view()->bounds());
    cover->setBackgroundColor(UIColor::whiteColor());
    screen->view()->addSubview(cover);
    host.settle();
    EXPECT_FALSE(host.scroll(screen->list, {0, -300}));
    EXPECT_EQ(screen->list->contentOffset().y, top);
    // Nor does it reach a field that stands in no window at all.
    auto nowhere = std::make_shared<UITextField>(CGRect{20, 100, 300, 40});
    EXPECT_FALSE(cw::isVisibleOnScreen(*nowhere));
    EXPECT_FALSE(host.tap(nowhere));
    EXPECT_FALSE(nowhere->isFirstResponder());
}

namespace {

// A screen that picks a photo: it hears what the picker hands over and dismisses it.
class PhotoScreen : public UIImagePickerControllerDelegate {
public:
    void didFinishPickingMediaWithInfo(UIImagePickerController& picker, const UIImagePickerInfo& found) override {
        info = found;
        picker.dismiss(false);
    }
    std::shared_ptr<UIImage> picked() const {
        auto found = info.find(UIImagePickerControllerOriginalImage);
        return found == info.end() ? nullptr : std::any_cast<std::shared_ptr<UIImage>>(found->second);
    }
    UIImagePickerInfo info;
};

constexpr std::uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u;

// The library's folder of pictures, and the photo library opened on it over a white screen.
class PhotoLibraryDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.launch(app));
        UIApplication::shared().hostSettings().photoLibraryFolder = folder.path();
    }
    // A file of the library, last changed `hoursAgo`.
    std::filesystem::path add(const std::string& name, const Data& bytes, int hoursAgo) {
        const auto file = folder / name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        std::filesystem::last_write_time(file, now_ - std::chrono::hours(hoursAgo));
        return file;
    }
    void openLibrary() {
        picker = std::make_shared<UIImagePickerController>();
        picker->setDelegate(screen);
        app->root->present(picker, false);
        host.settle();
    }
    std::shared_ptr<UICollectionView> grid() const {
        return std::dynamic_pointer_cast<UICollectionView>(host.findByIdentifier("PhotoLibraryGrid"));
    }
    // The tiles on screen by the names of their files, row by row.
    std::vector<std::string> tilesShown() const {
        if (!grid()) return {};
        auto cells = grid()->visibleCells();
        std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) {
            return std::pair(a->frame().origin.y, a->frame().origin.x) < std::pair(b->frame().origin.y, b->frame().origin.x);
        });
        std::vector<std::string> names;
        for (const auto& cell : cells)
            names.push_back(cell->accessibilityIdentifier());
        return names;
    }
    // The thumbnail a tile shows; none while it is made or when its file gives none.
    std::shared_ptr<UIImage> thumbnail(const std::string& name) const {
        auto tile = host.findByIdentifier(name);
        if (!tile) return nullptr;
        std::shared_ptr<UIImage> found;
        std::function<void(const UIView&)> look = [&](const UIView& view) {
            for (const auto& sub : view.subviews()) {
                if (auto image = std::dynamic_pointer_cast<UIImageView>(sub); image && image->image()) found = image->image();
                look(*sub);
            }
        };
        look(*tile);
        return found;
    }
    bool thumbnailArrives(const std::string& name) {
        return RunLoop::main().runUntil([&] { return thumbnail(name) != nullptr; }, 20);
    }

    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    cw::test::TempDirectory folder{"cw-photo-library"};
    std::shared_ptr<PhotoScreen> screen = std::make_shared<PhotoScreen>();
    std::shared_ptr<UIImagePickerController> picker;

private:
    std::filesystem::file_time_type now_ = std::filesystem::file_time_type::clock::now();
};

Data bytesOf(const std::string& text) {
    return Data(text.begin(), text.end());
}

} // namespace

// As a family found it: the library said "Choose a picture" and showed nothing to tap. Her photos
// are tiles, newest first, each showing its picture; what is no picture shows no tile, a damaged
// one a blank tile; a tap on a tile picks its picture.
TEST_F(PhotoLibraryDriver, HerPhotosAreTilesNewestFirstAndAFingerPicksOne) {
    const auto red = add("red.png", cw::test::pngOfColor(640, 480, kRed), 1);
    add("blue.jpg", *UIImage::fromPixels(2, 2, 1, std::vector<std::uint32_t>(4, kBlue).data())->jpegData(0.9), 2);
    const Data whole = cw::test::pngOfColor(300, 300, kBlue);
    add("cut short.png", Data(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)), 3);
    add("notes.jpg", bytesOf("a shopping list, not a photo"), 4);
    add("green.PNG", cw::test::pngOfColor(100, 300, kGreen), 5);
    // No tiles: not pictures by name, empty, larger than a photo, a folder.
    add("readme.txt", bytesOf("hello"), 0);
    add("empty.png", {}, 0);
    std::filesystem::resize_file(add("huge.jpg", bytesOf("x"), 0), UIImagePickerController::kMaxLibraryFileBytes + 1);
    std::filesystem::create_directory(folder / "album.jpg");

    openLibrary();
    ASSERT_TRUE(grid()) << "her photos are not shown as tiles";
    EXPECT_EQ(tilesShown(), (std::vector<std::string>{"red.png", "blue.jpg", "cut short.png", "notes.jpg", "green.PNG"}));
    // Thumbnails are made in the order the tiles asked: when the last has come, all have.
    ASSERT_TRUE(thumbnailArrives("green.PNG"));
    const auto tile = host.findByIdentifier("red.png")->bounds().size;
    for (const auto& [name, colour] : std::vector<std::pair<std::string, std::uint32_t>>{
             {"red.png", kRed}, {"blue.jpg", kBlue}, {"green.PNG", kGreen}}) {
        SCOPED_TRACE(name);
        auto image = thumbnail(name);
        ASSERT_TRUE(image);
        const std::uint32_t middle = image->pixel(image->pixelWidth() / 2, image->pixelHeight() / 2);
        for (int shift : {0, 8, 16}) // a JPEG's colour comes back within a few steps
            EXPECT_NEAR((middle >> shift) & 0xFF, (colour >> shift) & 0xFF, 4) << std::hex << middle;
        // Made at the tile's size, not the picture's.
        EXPECT_LE(std::max(image->pixelWidth(), image->pixelHeight()), std::ceil(tile.width * host.scale()) + 1);
    }
    EXPECT_FALSE(thumbnail("cut short.png"));
    EXPECT_FALSE(thumbnail("notes.jpg"));

    ASSERT_TRUE(host.tapIdentifier("red.png"));
    auto picked = screen->picked();
    ASSERT_TRUE(picked) << "the tap picked nothing";
    EXPECT_EQ(picked->pixelWidth(), 640);
    EXPECT_EQ(picked->pixel(320, 240), kRed);
    EXPECT_EQ(std::any_cast<std::string>(screen->info.at(UIImagePickerControllerImageURL)), red.string());
    EXPECT_FALSE(app->root->presentedViewController()) << "the screen dismissed the picker";
}

// However many pictures the folder holds, the library looks at a bounded part of it, and only the
// tiles in view are made and ask for their thumbnails.
TEST_F(PhotoLibraryDriver, AFolderOfManyPicturesCostsOnlyWhatTheScreenShows) {
    const Data small = cw::test::pngOfColor(4, 4, kGreen);
    const std::size_t many = UIImagePickerController::kMaxLibraryPictures + 100;
    for (std::size_t i = 0; i < many; ++i)
        add("photo " + std::to_string(i) + ".png", small, static_cast<int>(i));
    const auto pictures = UIImagePickerController::libraryPictures(folder.path());
    ASSERT_EQ(pictures.size(), UIImagePickerController::kMaxLibraryPictures);
    EXPECT_EQ(pictures.front().filename(), "photo 0.png");
    EXPECT_EQ(pictures.back().filename(), "photo " + std::to_string(UIImagePickerController::kMaxLibraryPictures - 1) + ".png");

    openLibrary();
    ASSERT_TRUE(grid());
    EXPECT_EQ(grid()->numberOfItems(0), static_cast<long>(UIImagePickerController::kMaxLibraryPictures));
    EXPECT_LT(grid()->cellsCreated(), 60u) << "tiles were made for pictures out of view";
    ASSERT_TRUE(thumbnailArrives(tilesShown().back()));
    // Scrolled to its end by a finger, the last pictures show theirs too.
    for (int i = 0; i < 40 && tilesShown().back() != pictures.back().filename(); ++i)
        ASSERT_TRUE(host.scroll(grid(), {0, -500}));
    EXPECT_EQ(tilesShown().back(), pictures.back().filename());
    EXPECT_TRUE(thumbnailArrives(tilesShown().back()));
    EXPECT_LT(grid()->cellsCreated(), 80u);
}

// As a family found it: a 48-megapixel progressive JPEG picked from the library left the picker
// on screen without a word. A picture that cannot be opened is not picked, and the picker says
// why, whether a finger or a script picked it; the library stays open for another.
TEST_F(PhotoLibraryDriver, APictureThatCannotBeOpenedIsNotPickedAndThePickerSaysWhy) {
    // 8000 x 6000 with its colour halved each way: its coefficients alone take 144 MB to decode.
    const auto panorama = add("panorama.jpg", cw::test::withDeclaredSize(cw::test::progressiveJPEG(16, 16, 3), 8000, 6000), 1);
    const Data whole = cw::test::pngOfColor(300, 300, kBlue);
    const auto damaged = add("cut short.png", Data(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)), 2);
    struct Case {
        const char* what;
        std::filesystem::path file;
        bool byFinger;
        const char* says;
    };
    const char* tooLarge = "This photo is too large to open on this phone. Please choose another one.";
    const char* notAPhoto = "This photo cannot be opened: its file is damaged or is not a photo. Please choose another one.";
    for (const auto& c : std::vector<Case>{{"too large, by a finger", panorama, true, tooLarge},
                                           {"too large, by a script", panorama, false, tooLarge},
                                           {"damaged, by a finger", damaged, true, notAPhoto}}) {
        SCOPED_TRACE(c.what);
        openLibrary();
        std::string error;
        if (c.byFinger)
            ASSERT_TRUE(host.tapIdentifier(c.file.filename().string()));
        else
            EXPECT_FALSE(host.pickImage(c.file, &error));
        EXPECT_FALSE(screen->picked());
        EXPECT_TRUE(host.isShowing("Cannot Open Photo"));
        EXPECT_TRUE(host.isShowing(c.says));
        ASSERT_TRUE(host.pickAlertAction("OK"));
        EXPECT_EQ(host.topViewController(), picker) << "the library stays open for another picture";
        ASSERT_TRUE(host.cancelImagePicker());
        EXPECT_FALSE(app->root->presentedViewController());
    }
}
