#pragma once

// The cradleway executable driven from outside, as the tour and the cold-start benchmark drive it:
// started headless as a process of its own with a data directory and its own demo server, fed one
// script step at a time on its standard input, each step's answer read back from its standard
// output (which holds nothing else) before the next is sent, so that the driver can look at the
// server between steps. Its console comes on its standard error.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace cw::test {

struct StepAnswer {
    bool ok = false;
    // "ok", or "failed: why" / "invalid: why"; "no answer" when the process said nothing in time.
    std::string text;
};

struct ProcessEnd {
    int status = -1; // the exit status, or 128 + the signal
    // The largest resident size the process had, in kilobytes.
    long peakResidentKilobytes = 0;
};

class CradlewayProcess {
public:
    struct Options {
        std::filesystem::path executable;
        std::filesystem::path dataDirectory;
        std::filesystem::path screenshots;
        std::optional<int> accessTokenSeconds;
        // More options for the executable (such as "--touch-id", "match").
        std::vector<std::string> arguments;
    };

    // Starts the executable and waits for its demo server's address (failed() when it never came);
    // with "--server" among the arguments, that address is the server's and nothing is waited for.
    explicit CradlewayProcess(Options options);
    // Ends the process if finish() was not called (its input closed, then waited for).
    ~CradlewayProcess();
    CradlewayProcess(const CradlewayProcess&) = delete;
    CradlewayProcess& operator=(const CradlewayProcess&) = delete;

    bool failed() const { return serverURL_.empty(); }
    // The process's id while it runs (for a benchmark that watches its memory or its work).
    pid_t pid() const { return pid_; }
    const std::string& serverURL() const { return serverURL_; }
    const Options& options() const { return options_; }

    // Sends one step and waits (up to two minutes) for its answer.
    StepAnswer step(const std::string& line);
    // Sends the steps in turn until one fails: its answer, its text led by the step ("tap \"Post\":
    // failed: …"), else the last one's (ok). Fails at once when the process did not start.
    StepAnswer steps(const std::vector<std::string>& lines);
    // Every line the process printed so far on its console, standard error (the demo server's
    // lines among them).
    std::vector<std::string> console() const;
    // Every line of its standard output so far: the steps' answers.
    std::vector<std::string> answers() const;
    // What it wrote to its standard error, as one text.
    std::string errors() const;

    // Closes its input, so that it quits, and waits for it.
    ProcessEnd finish();

private:
    struct Stream {
        int fd = -1;
        std::vector<std::string> lines;
        std::string partial;
        bool closed = false;
    };
    void readLines(Stream& stream);

    Options options_;
    pid_t pid_ = -1;
    int input_ = -1;
    std::thread reader_;
    std::thread consoleReader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Stream answers_;
    Stream console_;
    int sent_ = 0;
    std::string serverURL_;
    std::optional<ProcessEnd> end_;
};

} // namespace cw::test
