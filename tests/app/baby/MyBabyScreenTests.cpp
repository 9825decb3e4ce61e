// The My Baby screen as the demo family uses it, against the demo server: opened from the side
// menu, renaming and saving, a cropped photo, adding a baby by its record number, and the end of a
// registration.

#include "BabyScreenFixture.h"

#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/KeychainPasswordItem.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "server/Database.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"

#include <chrono>
#include <functional>
#include <iostream>
#include <unistd.h>

namespace cw::test {
namespace {

class MyBabyScreen : public BabyScreenTest {
protected:
    void TearDown() override {
        if (!picture.empty()) std::filesystem::remove(picture);
        BabyScreenTest::TearDown();
    }

    std::shared_ptr<MyBabyViewController> openFromMenu() {
        EXPECT_TRUE(host->tapIdentifier("hamburgerButton"));
        EXPECT_TRUE(host->tapText("My Baby"));
        host->settle();
        return find<MyBabyViewController>();
    }
    // The first controller of type T shown: in the window's tree of children and presented ones.
    template <class T> std::shared_ptr<T> find() const {
        std::function<std::shared_ptr<T>(const UIViewControllerPtr&)> search =
            [&](const UIViewControllerPtr& c) -> std::shared_ptr<T> {
            if (!c) return nullptr;
            if (auto t = std::dynamic_pointer_cast<T>(c)) return t;
            for (const auto& child : c->childViewControllers())
                if (auto t = search(child)) return t;
            return search(c->presentedViewController());
        };
        return search(host->window()->rootViewController());
    }
    // Turns the run loop (the server answers in real time) and lets transitions run out, until
    // `condition` holds.
    bool until(const std::function<bool()>& condition, double seconds = 10) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            RunLoop::main().runUntil(condition, 0.05);
            host->settle();
            if (condition()) return true;
        }
        return false;
    }
    std::vector<std::string> banners() const {
        std::vector<std::string> texts;
        for (const auto& record : GSMessage::history())
            texts.push_back(record.text);
        return texts;
    }
    std::string serverText(const std::string& sql) {
        auto db = server_->server().state().pool->acquire();
        auto st = db->prepare(sql);
        return st.step() ? (st.isNull(0) ? "NULL" : st.text(0)) : "";
    }
    std::string display(const std::string& serverDate) const {
        auto date = DateFormatter::serverFormatter("yyyy-MM-dd").date(serverDate);
        DateFormatter f;
        f.setDateFormat("MMM, dd yyyy");
        return date ? f.string(*date) : "";
    }
    void makePicture() {
        picture = std::filesystem::path(::testing::TempDir()) / ("cw-mybaby-" + std::to_string(getpid()) + ".png");
        std::vector<std::uint32_t> pixels(800 * 600, 0xff3366ccu);
        UIImage::fromPixels(800, 600, 1, pixels.data())->writePNG(picture);
    }
    // Looks the record number up through the add-a-baby flow of the screen.
    void addByRecordNumber(MyBabyViewController& screen, const std::string& mrn) {
        screen.showActionOptions();
        host->settle();
        ASSERT_TRUE(host->pickAlertAction("Add"));
        ASSERT_TRUE(showsSoon("Search"));
        ASSERT_TRUE(host->tapIdentifier("mrnTextField"));
        host->type(mrn);
        ASSERT_TRUE(host->tapText("Search"));
    }

    std::filesystem::path picture;
};

TEST_F(MyBabyScreen, TheTwinsShowAndARenameIsSavedWithoutAPicture) {
    signInAndLaunch();
    const auto stored = babies();
    ASSERT_EQ(stored.size(), 2u);
    const std::string oliviaFile = serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[0]->babyId()));
    const std::string noahFile = serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[1]->babyId()));
    auto screen = openFromMenu();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "My Baby");
    EXPECT_TRUE(host->isShowing("My Baby"));
    EXPECT_TRUE(host->isShowing("Olivia Hart"));
    ASSERT_EQ(screen->babyFormViewArray.size(), 2u);
    const auto& olivia = screen->babyFormViewArray[0];
    const auto& noah = screen->babyFormViewArray[1];
    EXPECT_EQ(noah->babyFullName(), "Noah Hart");
    EXPECT_EQ(olivia->babyBirthday(), display(stored[0]->birthday()));
    EXPECT_TRUE(host->isShowing(display(stored[0]->birthday())));
    EXPECT_EQ(olivia->genderField()->text(), "Female");
    EXPECT_EQ(noah->genderField()->text(), "Male");
    EXPECT_TRUE(screen->navigationItem()->rightBarButtonItem()) << "a mother may add babies";
    EXPECT_FALSE(screen->saveBabyDetails()->isEnabled());
    EXPECT_EQ(screen->saveBabyDetails()->alpha(), 0.5);
    host->tapText("Save");
    EXPECT_TRUE(banners().empty()) << "a disabled Save does nothing";

    ASSERT_TRUE(host->tap(olivia->babyfullNameTextField()));
    EXPECT_TRUE(screen->saveBabyDetails()->isEnabled());
    EXPECT_EQ(screen->saveBabyDetails()->alpha(), 1.0);
    host->deleteBackward(4);
    host->type("Rose Hart");
    olivia->babyfullNameTextField()->resignFirstResponder();
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(until([&] { return !find<MyBabyViewController>(); })) << "the screen goes back once saved";
    EXPECT_EQ(banners(), (std::vector<std::string>{"Successfully saved."}));
    const auto events = storedEvents("MyBabyScreen", 2);
    ASSERT_GE(events.size(), 2u);
    bool saved = false;
    for (const auto& e : events)
        saved = saved || (e.action == "ServerRequest" && e.details == nlohmann::json{{"babyDetailsSaved", "Baby details saved"}});
    EXPECT_TRUE(saved);

    const auto now = babies();
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(now[0]->fullName(), "Olivia Rose Hart");
    EXPECT_EQ(now[0]->birthday(), stored[0]->birthday()) << "the date went back in the server's form";
    EXPECT_EQ(serverText("SELECT full_name FROM babies WHERE id = " + std::to_string(*stored[0]->babyId())),
              "Olivia Rose Hart");
    // No picture went with the save: both photos are those the server had.
    EXPECT_EQ(serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[0]->babyId())), oliviaFile);
    EXPECT_EQ(serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[1]->babyId())), noahFile);
}

TEST_F(MyBabyScreen, ACroppedPhotoChangesThatPageOnlyAndIsSavedForThatBaby) {
    signInAndLaunch();
    makePicture();
    const auto stored = babies();
    const std::string noahFile = serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[1]->babyId()));
    auto screen = openFromMenu();
    ASSERT_TRUE(screen);
    const auto& olivia = screen->babyFormViewArray.at(0);
    const auto& noah = screen->babyFormViewArray.at(1);
    noah->babyfullNameTextField()->setText(std::string("Noah James Hart"));
    const auto before = olivia->babyImageView()->image();

    ASSERT_TRUE(host->tap(olivia->babyImageView()));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(host->pickImage(picture));
    auto cropper = find<RSKImageCropViewController>();
    ASSERT_TRUE(cropper);
    EXPECT_EQ(cropper->cropMode(), RSKImageCropMode::custom);
    EXPECT_TRUE(cropper->avoidEmptySpaceAroundImage);
    // The largest centred 2:1 band of the cropper's 375 × 667 frame.
    EXPECT_EQ(cropper->maskRect(), CGRect(0, (667 - 187.5) / 2, 375, 187.5));
    EXPECT_EQ(cropper->movementRect(), cropper->maskRect());
    ASSERT_TRUE(host->tapText("Choose"));
    host->settle();
    EXPECT_FALSE(find<RSKImageCropViewController>());
    ASSERT_EQ(find<MyBabyViewController>(), screen);

    EXPECT_NE(olivia->babyImageView()->image(), before);
    ASSERT_TRUE(olivia->babyImage());
    EXPECT_FALSE(noah->babyImage());
    EXPECT_EQ(noah->babyFullName(), "Noah James Hart") << "the other page keeps its edits";
    EXPECT_TRUE(screen->saveBabyDetails()->isEnabled());

    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(until([&] { return !find<MyBabyViewController>(); }));
    const std::string oliviaFile = serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[0]->babyId()));
    EXPECT_NE(oliviaFile.find("images/upload/"), std::string::npos) << oliviaFile;
    EXPECT_EQ(serverText("SELECT file_name FROM babies WHERE id = " + std::to_string(*stored[1]->babyId())), noahFile);
    EXPECT_EQ(babies().at(0)->imageFile(), oliviaFile);
    EXPECT_EQ(babies().at(1)->fullName(), "Noah James Hart");
}

TEST_F(MyBabyScreen, AddingABabyByItsRecordNumberSendsTheFamilyAndShowsHerLast) {
    signInAndLaunch();
    auto screen = openFromMenu();
    ASSERT_TRUE(screen);

    // A baby the member already has: the stored list goes unchanged.
    addByRecordNumber(*screen, "CW100001");
    ASSERT_TRUE(until([&] { return !find<NewBabyFlowController>(); }));
    EXPECT_EQ(babies().size(), 2u);
    EXPECT_EQ(screen->babyFormViewArray.size(), 2u);

    addByRecordNumber(*screen, "CW200001");
    ASSERT_TRUE(until([&] { return !find<NewBabyFlowController>(); }));
    const auto now = babies();
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(now[2]->fullName(), "Mia Lopez");
    ASSERT_EQ(screen->babyFormViewArray.size(), 3u);
    EXPECT_EQ(screen->babyFormViewArray[2]->babyFullName(), "Mia Lopez");
    EXPECT_EQ(screen->pageControl()->numberOfPages(), 3);
    EXPECT_EQ(screen->pageControl()->currentPage(), 2);
    EXPECT_TRUE(host->isShowing("Mia Lopez")) << "the pager shows the new last page";
    EXPECT_EQ(serverText("SELECT COUNT(*) FROM member_babies mb JOIN members m ON m.id = mb.member_id "
                         "JOIN babies b ON b.id = mb.baby_id WHERE m.email = 'demo@cradleway.test' AND b.mrn = 'CW200001'"),
              "1");
}

TEST_F(MyBabyScreen, TheAddFlowOpensOnTheRecordNumberLookupWithoutTheSignInScreens) {
    // Nothing of the signed-out screens has been made in this process: the flow still has its lookup,
    // and a baby the lookup finds goes to the flow.
    auto flow = std::make_shared<NewBabyFlowController>();
    auto lookup = std::dynamic_pointer_cast<MRNLookupViewController>(flow->topViewController());
    ASSERT_TRUE(lookup);
    EXPECT_EQ(lookup->headerDescription, std::string(NewBabyFlowController::kLookupDescription));
    EXPECT_TRUE(lookup->delegate.lock());
    EXPECT_TRUE(lookup->navigationItem()->leftBarButtonItem());
}

TEST_F(MyBabyScreen, AFailedAddClosesTheFlowWithTheBannerAndKeepsTheBabies) {
    signInAndLaunch();
    auto screen = openFromMenu();
    ASSERT_TRUE(screen);
    screen->showActionOptions();
    host->settle();
    ASSERT_TRUE(host->pickAlertAction("Add"));
    auto flow = find<NewBabyFlowController>();
    ASSERT_TRUE(flow);
    EXPECT_TRUE(host->isShowing(
        "Please type your baby's MRN (Medical Record Number). We will search your baby's information."));
    // The lookup found a baby; the server is gone before the update.
    auto mia = std::make_shared<BabyData>("Mia Lopez", "2026-11-20", "2027-01-10", Gender::Female);
    mia->setBabyId(999);
    auto lookup = std::dynamic_pointer_cast<MRNLookupViewController>(flow->topViewController());
    ASSERT_TRUE(lookup);
    server_->stop();
    flow->mrnLookupViewController(*lookup, mia);
    ASSERT_TRUE(until([&] { return !find<NewBabyFlowController>(); }));
    EXPECT_EQ(banners(), (std::vector<std::string>{"Unexpected error. Please try again."}));
    EXPECT_EQ(babies().size(), 2u);
    EXPECT_EQ(screen->babyFormViewArray.size(), 2u);
}

TEST_F(MyBabyScreen, TheEndOfARegistrationCreatesTheAccountWithTheFoundBaby) {
    // The registration looked Mia up on this device and is about to ask for her details.
    std::optional<JSON> found;
    BabyService().verifyMRN("CW200001", [&](const JSON& reply) { found = reply; }, [&](const RequestError&) {});
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return found.has_value(); }, 10));
    auto mia = BabyData::initWithResponseObject(*found);
    ASSERT_TRUE(mia);
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{mia});
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    auto signIn = std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
    ASSERT_TRUE(signIn);

    auto member = std::make_shared<UserData>("Nora Lopez", FamilyRelationship::Mother, "nora@example.test");
    auto screen = std::make_shared<MyBabyViewController>(std::string("a-long-password-1"), member);
    signIn->pushViewController(screen, false);
    host->settle();
    EXPECT_TRUE(host->isShowing(MyBabyViewController::kAddBabyText));
    EXPECT_FALSE(screen->navigationItem()->rightBarButtonItem());
    ASSERT_EQ(screen->babyFormViewArray.size(), 1u);
    EXPECT_EQ(screen->babyFormViewArray[0]->babyFullName(), "Mia Lopez");

    screen->enableSaveButton();
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(until([&] { return find<OnboardingViewController>() != nullptr; }));
    EXPECT_TRUE(AuthenticationContext::shared().user());
    EXPECT_FALSE(std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController()) == signIn)
        << "the main interface took the sign-in flow's place";
    EXPECT_EQ(UserDefaults::standard().stringForKey("usernameKey"), "nora@example.test");
    EXPECT_EQ(KeychainPasswordItem("CradlewayService", "nora@example.test").readPassword(), "a-long-password-1");
    EXPECT_EQ(serverText("SELECT COUNT(*) FROM member_babies mb JOIN members m ON m.id = mb.member_id "
                         "JOIN babies b ON b.id = mb.baby_id WHERE m.email = 'nora@example.test' AND b.mrn = 'CW200001'"),
              "1");
}

TEST_F(MyBabyScreen, ARefusedSignUpShowsTheServersStatus) {
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    auto signIn = std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
    ASSERT_TRUE(signIn);
    // The demo mother's address is taken.
    auto member = std::make_shared<UserData>("Emma Again", FamilyRelationship::Mother, "demo@cradleway.test");
    auto screen = std::make_shared<MyBabyViewController>(std::string("a-long-password-1"), member);
    signIn->pushViewController(screen, false);
    host->settle();
    ASSERT_EQ(screen->babyFormViewArray.size(), 1u) << "a parent without babies gets one blank form";
    const auto& form = screen->babyFormViewArray[0];
    EXPECT_EQ(form->babyNumber(), -1);
    form->babyfullNameTextField()->setText(std::string("Baby Again"));
    form->updateBirthdayField("Jan, 01 2026");
    form->updateExpectedBirthdayField("Feb, 20 2026");
    screen->createOrUpdateBabyDetails();
    ASSERT_TRUE(until([&] { return !banners().empty(); }));
    EXPECT_EQ(banners(), (std::vector<std::string>{"An account already exists for this e-mail address."}));
    EXPECT_FALSE(AuthenticationContext::shared().user());
}

} // namespace
} // namespace cw::test
