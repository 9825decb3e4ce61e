#include "tests/support/CradlewayProcess.h"

#include <chrono>
#include <fstream>
#include <cctype>
#include <sstream>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cw::test {

namespace {

constexpr auto kAnswerWait = std::chrono::seconds(120);
constexpr auto kStartWait = std::chrono::seconds(60);

// A step's answer, "step N ok" or "step N failed: ..." (console lines of other threads may stand
// before it on its line): the step's number and what follows it.
std::optional<std::pair<int, std::string>> answerIn(const std::string& line) {
    for (std::size_t at = line.find("step "); at != std::string::npos; at = line.find("step ", at + 1)) {
        std::size_t i = at + 5;
        int number = 0;
        const std::size_t digits = i;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) && i - digits < 9)
            number = number * 10 + (line[i++] - '0');
        if (i == digits || i >= line.size() || line[i] != ' ') continue;
        const std::string rest = line.substr(i + 1);
        if (rest == "ok" || rest.rfind("failed: ", 0) == 0 || rest.rfind("invalid: ", 0) == 0)
            return std::make_pair(number, rest);
    }
    return std::nullopt;
}

// The demo server's address from "Demo server: http://127.0.0.1:PORT (data in ...)".
std::optional<std::string> serverIn(const std::string& line) {
    const std::string prefix = "Demo server: ";
    if (line.rfind(prefix, 0) != 0) return std::nullopt;
    const auto end = line.find(' ', prefix.size());
    return line.substr(prefix.size(), end == std::string::npos ? std::string::npos : end - prefix.size());
}

} // namespace

CradlewayProcess::CradlewayProcess(Options options) : options_(std::move(options)) {
    std::filesystem::create_directories(options_.dataDirectory);
    std::vector<std::string> arguments = {options_.executable.string(), "--headless", "--script", "-",
                                          "--data-dir", options_.dataDirectory.string(),
                                          "--screenshots", options_.screenshots.string()};
    if (options_.accessTokenSeconds) {
        arguments.push_back("--access-token-seconds");
        arguments.push_back(std::to_string(*options_.accessTokenSeconds));
    }
    arguments.insert(arguments.end(), options_.arguments.begin(), options_.arguments.end());
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    const auto errorsFile = options_.dataDirectory.parent_path() / (options_.dataDirectory.filename().string() + ".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    // A process that died leaves its input's reader gone: a write then fails instead of killing us.
    signal(SIGPIPE, SIG_IGN);
    reader_ = std::thread([this] { readOutput(); });

    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kStartWait, [&] {
        for (const auto& line : lines_)
            if (auto url = serverIn(line)) {
                serverURL_ = *url;
                return true;
            }
        return closed_;
    });
}

CradlewayProcess::~CradlewayProcess() {
    finish();
}

void CradlewayProcess::readOutput() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        std::lock_guard lock(mutex_);
        if (n <= 0) {
            if (!partial_.empty()) lines_.push_back(std::move(partial_));
            closed_ = true;
            changed_.notify_all();
            return;
        }
        partial_.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at; (at = partial_.find('\n')) != std::string::npos;) {
            lines_.push_back(partial_.substr(0, at));
            partial_.erase(0, at + 1);
        }
        changed_.notify_all();
    }
}

StepAnswer CradlewayProcess::step(const std::string& line) {
    if (pid_ < 0 || end_) return {false, "the application is not running"};
    const std::string sent = line + "\n";
    if (write(input_, sent.data(), sent.size()) != static_cast<ssize_t>(sent.size()))
        return {false, "the application no longer reads its steps"};
    const int number = ++sent_;
    std::unique_lock lock(mutex_);
    StepAnswer answer{false, "no answer"};
    std::size_t seen = 0;
    changed_.wait_for(lock, kAnswerWait, [&] {
        for (; seen < lines_.size(); ++seen) {
            if (auto found = answerIn(lines_[seen]); found && found->first == number) {
                answer = {found->second == "ok", found->second};
                return true;
            }
        }
        return closed_;
    });
    if (answer.text == "no answer" && closed_) answer.text = "the application ended: " + errors();
    return answer;
}

std::vector<std::string> CradlewayProcess::console() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string CradlewayProcess::errors() const {
    std::ifstream in(options_.dataDirectory.parent_path() / (options_.dataDirectory.filename().string() + ".err"));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ProcessEnd CradlewayProcess::finish() {
    if (end_) return *end_;
    ProcessEnd end;
    if (input_ >= 0) close(input_);
    input_ = -1;
    if (pid_ > 0) {
        int status = 0;
        rusage usage{};
        while (wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        end.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        end.peakResidentKilobytes = usage.ru_maxrss;
    }
    if (reader_.joinable()) reader_.join();
    if (output_ >= 0) close(output_);
    output_ = -1;
    end_ = end;
    return end;
}

} // namespace cw::test
