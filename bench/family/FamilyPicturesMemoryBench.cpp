// The memory a person's phone gives the application, as Family & Friends meets it: the cradleway
// executable, headless against its demo server, signed in as the demo mother whose family has
// twenty more members, each with a picture of 7000 × 7000 pixels in a few hundred kilobytes
// (within the 20 MB and 50-megapixel limits). The list is opened and scrolled to its end, every
// picture on screen arriving on the way; the process's peak resident size is what is measured. A
// phone ends an application that takes much more: the target is 400 MB, and "over_target" is the
// peak over it.

#include "tests/support/CradlewayProcess.h"
#include "tests/support/PictureBytes.h"
#include "tests/support/TempDirectory.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using cw::test::CradlewayProcess;

constexpr double kTargetMegabytes = 400;
constexpr int kMembers = 20;

struct Device {
    cw::test::TempDirectory directory{"cw-family-pictures-bench"};

    CradlewayProcess::Options options() const {
        CradlewayProcess::Options o;
        o.executable = CW_CRADLEWAY_EXECUTABLE;
        o.dataDirectory = directory / "data";
        o.screenshots = directory / "shots";
        return o;
    }
};

std::string memberName(int n) {
    return "Member " + std::string(n < 10 ? "0" : "") + std::to_string(n);
}

// The demo mother signed in (her session stored, the feed's questions answered), and twenty more
// members of her family in the demo database, each with the large picture among the uploads.
std::unique_ptr<Device> prepare(std::string& error) {
    auto device = std::make_unique<Device>();
    // The pictures' disk cache starts empty and stays inside the run's directory.
    ::setenv("XDG_CACHE_HOME", (device->directory / "caches").c_str(), 1);
    {
        CradlewayProcess first(device->options());
        if (first.failed()) {
            error = "cradleway did not start: " + first.errors();
            return nullptr;
        }
        if (auto answer = first.steps({"tap #emailTextField", "type \"demo@cradleway.test\"", "tap #passwordField",
                                       "type \"cradleway-demo\"", "tap \"Sign In\"", "expect \"Home\"",
                                       "alert \"No\"", "alert \"No\"", "alert \"No\"", "alert \"OK\""});
            !answer.ok) {
            error = answer.text;
            return nullptr;
        }
        first.finish();
    }
    const auto server = device->directory / "data" / "server";
    const Data picture = cw::test::pngOfTwoHalves(7000, 7000, 0xFFE0A0A0, 0xFFA0C0E0);
    sqlite3* db = nullptr;
    if (sqlite3_open((server / "cradleway.db").c_str(), &db) != SQLITE_OK) {
        error = "cannot open the demo database";
        sqlite3_close(db);
        return nullptr;
    }
    std::string sql = "BEGIN;";
    for (int n = 1; n <= kMembers; ++n) {
        const std::string file = "family-member-" + std::to_string(n) + ".png";
        std::ofstream(server / "cradleway.db-files" / "upload" / file, std::ios::binary)
            .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
        const std::string id = std::to_string(1000 + n);
        sql += "INSERT INTO members (id, email, full_name, relationship, password_hash, security_code, file_name, "
               "created_at) VALUES (" +
               id + ", 'member" + std::to_string(n) + "@cradleway.test', '" + memberName(n) +
               "', 'Relative', 'x', 0, 'images/upload/" + file + "', 0);" +
               "INSERT INTO member_babies (member_id, baby_id) VALUES (" + id + ", 1);";
    }
    sql += "COMMIT;";
    char* message = nullptr;
    const bool added = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!added) error = std::string("cannot add the members: ") + (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    return added ? std::move(device) : nullptr;
}

void BM_FamilyAndFriendsWithTwentyLargePictures(benchmark::State& state) {
    std::string error;
    auto device = prepare(error);
    if (!device) {
        state.SkipWithError(error.c_str());
        return;
    }
    // The list opened, then scrolled a screen at a time to its end; each screenshot waits for the
    // pictures on screen.
    std::vector<std::string> steps = {"tap #hamburgerButton", "tap \"Family & Friends\"",
                                      "expect \"" + memberName(1) + "\"", "screenshot family-0"};
    for (int page = 1; page <= 4; ++page) {
        steps.push_back("drag 187,600 187,100 1");
        steps.push_back("screenshot family-" + std::to_string(page));
    }
    steps.push_back("expect \"" + memberName(kMembers) + "\"");
    double peak = 0;
    for (auto _ : state) {
        CradlewayProcess app(device->options());
        const auto answer = app.steps(steps);
        const bool shown = answer.ok;
        if (!shown) error = answer.text;
        const cw::test::ProcessEnd end = app.finish();
        peak = std::max(peak, end.peakResidentKilobytes / 1024.0);
        if (!shown) {
            state.SkipWithError(error.c_str());
            break;
        }
        if (end.status != 0) {
            state.SkipWithError(("cradleway ended with status " + std::to_string(end.status)).c_str());
            break;
        }
    }
    state.counters["peak_resident_MB"] = peak;
    state.counters["target_MB"] = kTargetMegabytes;
    state.counters["over_target"] = peak / kTargetMegabytes;
}
BENCHMARK(BM_FamilyAndFriendsWithTwentyLargePictures)->Unit(benchmark::kSecond)->Iterations(2);

} // namespace
