// The My Baby screen's Save with four forms, one holding a cropped 4032 x 2016 picture: how long
// the main thread is held from the tap until the request has left it (under 16 ms keeps a frame).
// Each iteration then waits, untimed, for the request to reach a local recording server.

#include "Controllers/Baby/MyBabyViewController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

std::shared_ptr<UIImage> croppedPicture() {
    constexpr int w = 4032, h = 2016;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<std::size_t>(y) * w + x] = 0xff000000u | (static_cast<std::uint32_t>(x * 255 / w) << 16) |
                                                         (static_cast<std::uint32_t>(y * 255 / h) << 8) | 0x80u;
    return UIImage::fromPixels(w, h, 1, pixels.data());
}

void BM_MyBabySaveOfFourFormsWithACroppedPicture(benchmark::State& state) {
    cw::test::RecordingServer server;
    server.reply("POST", "/baby/update", cw::test::Reply{200, R"({"response": []})"});
    cw::test::AppEnvironment environment{"cw-baby-bench"};
    environment.writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "bench.baby"}});
    auto member = std::make_shared<UserData>("Emma Hart", FamilyRelationship::Mother, "emma@example.test");
    member->setId(1);
    AuthenticationContext::shared().setUser(member);
    AuthenticationContext::shared().setOAuthToken(std::string("token"));
    AuthenticationContext::shared().setOAuthRefreshToken(std::string("refresh"));

    auto screen = std::make_shared<MyBabyViewController>();
    screen->view();
    const auto picture = croppedPicture();
    for (int i = 0; i < 4; ++i) {
        auto form = std::make_shared<BabyDetailsFormView>(i + 1);
        form->babyfullNameTextField()->setText("Baby " + std::to_string(i + 1));
        form->updateBirthdayField("Jan, 01 2026");
        form->updateExpectedBirthdayField("Mar, 01 2026");
        form->updateGenderField(i % 2 ? "Male" : "Female");
        if (i == 2) form->updateCroppedBabyImage(picture);
        screen->babyFormViewArray.push_back(form);
    }
    for (auto _ : state) {
        screen->createOrUpdateBabyDetails();
        state.PauseTiming();
        const auto count = server.requestCount();
        server.waitForRequests(count + 1, 30);
        RunLoop::main().runFor(0.05);
        state.ResumeTiming();
    }
    AuthenticationContext::shared().setUser(nullptr);
}
BENCHMARK(BM_MyBabySaveOfFourFormsWithACroppedPicture)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
