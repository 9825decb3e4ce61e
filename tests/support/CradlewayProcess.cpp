#include "tests/support/CradlewayProcess.h"

#include <algorithm>
#include <chrono>
#include <cctype>

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

// A step's answer, "step N ok" or "step N failed: ...", alone on its line: the step's number and
// what follows it.
std::optional<std::pair<int, std::string>> answerIn(const std::string& line) {
    if (line.rfind("step ", 0) != 0) return std::nullopt;
    std::size_t i = 5;
    int number = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) && i - 5 < 9)
        number = number * 10 + (line[i++] - '0');
    if (i == 5 || i >= line.size() || line[i] != ' ') return std::nullopt;
    const std::string rest = line.substr(i + 1);
    if (rest == "ok" || rest.rfind("failed: ", 0) == 0 || rest.rfind("invalid: ", 0) == 0)
        return std::make_pair(number, rest);
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

    // Its standard output holds the answers to the steps alone; its console (the demo server's
    // address among it) and its errors come on standard error.
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    input_ = in[1];
    answers_.fd = out[0];
    console_.fd = err[0];
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    // A process that died leaves its input's reader gone: a write then fails instead of killing us.
    signal(SIGPIPE, SIG_IGN);
    reader_ = std::thread([this] { readLines(answers_); });
    consoleReader_ = std::thread([this] { readLines(console_); });

    // A server named on the command line is the one it talks to: no demo server of its own starts.
    const auto named = std::find(options_.arguments.begin(), options_.arguments.end(), "--server");
    if (named != options_.arguments.end() && named + 1 != options_.arguments.end()) {
        serverURL_ = *(named + 1);
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kStartWait, [&] {
        for (const auto& line : console_.lines)
            if (auto url = serverIn(line)) {
                serverURL_ = *url;
                return true;
            }
        return console_.closed;
    });
}

CradlewayProcess::~CradlewayProcess() {
    finish();
}

void CradlewayProcess::readLines(Stream& stream) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(stream.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        std::lock_guard lock(mutex_);
        if (n <= 0) {
            if (!stream.partial.empty()) stream.lines.push_back(std::move(stream.partial));
            stream.closed = true;
            changed_.notify_all();
            return;
        }
        stream.partial.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at; (at = stream.partial.find('\n')) != std::string::npos;) {
            stream.lines.push_back(stream.partial.substr(0, at));
            stream.partial.erase(0, at + 1);
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
    bool ended = false;
    changed_.wait_for(lock, kAnswerWait, [&] {
        for (; seen < answers_.lines.size(); ++seen) {
            if (auto found = answerIn(answers_.lines[seen]); found && found->first == number) {
                answer = {found->second == "ok", found->second};
                return true;
            }
        }
        ended = answers_.closed;
        return ended;
    });
    lock.unlock();
    if (answer.text == "no answer" && ended) answer.text = "the application ended: " + errors();
    return answer;
}

StepAnswer CradlewayProcess::steps(const std::vector<std::string>& lines) {
    if (failed()) return {false, "the application did not start: " + errors()};
    StepAnswer answer{true, "ok"};
    for (const auto& line : lines) {
        answer = step(line);
        if (!answer.ok) return {false, line + ": " + answer.text};
    }
    return answer;
}

std::vector<std::string> CradlewayProcess::console() const {
    std::lock_guard lock(mutex_);
    return console_.lines;
}

std::vector<std::string> CradlewayProcess::answers() const {
    std::lock_guard lock(mutex_);
    return answers_.lines;
}

std::string CradlewayProcess::errors() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const auto& line : console_.lines)
        text += line + "\n";
    return text + console_.partial;
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
    if (consoleReader_.joinable()) consoleReader_.join();
    for (Stream* stream : {&answers_, &console_}) {
        if (stream->fd >= 0) close(stream->fd);
        stream->fd = -1;
    }
    end_ = end;
    return end;
}

} // namespace cw::test
