// Fuzz entry for the server's request reading: bytes as they would arrive on one connection (request
// lines with their queries, headers, JSON bodies, multipart forms whose fields hold JSON or flattened
// lists, chunked and compressed bodies, several requests in a row), answered by the whole server
// against the demo family. "@TOKEN@" in the input stands for a valid access token of the demo mother,
// so that member requests are read to the end too. The server must answer or refuse each request and
// never crash, and it never answers with a server error or with a status that is not one. Links into
// libFuzzer unchanged.
#include "server/Auth.h"
#include "server/Server.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <unistd.h>

namespace {

struct FuzzServer {
    FuzzServer() {
        directory = std::filesystem::temp_directory_path() / ("cw-server-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        cw::server::ServerOptions options;
        options.databasePath = (directory / "cradleway.db").string();
        options.threads = 1;
        options.cheapPasswordHashing = true;
        options.accessLog = false;
        options.console = [](const std::string&) {};
        options.maxRequestBytes = 256 * 1024;
        options.maxPictureBytes = 64 * 1024;
        options.accessTokenSeconds = 100LL * 365 * 24 * 3600;
        // Two hours pass with every input: no count of failures outlives the next input.
        options.clock = [this] { return 1'800'000'000 + inputs * 7200; };
        server = std::make_unique<cw::server::CradlewayServer>(options);
        server->loadDemo();
        auto lease = server->state().pool->acquire();
        token = cw::server::issueTokens(*lease, server->state(), 1).accessToken;
    }
    ~FuzzServer() {
        server.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    std::filesystem::path directory;
    std::unique_ptr<cw::server::CradlewayServer> server;
    std::string token;
    int64_t inputs = 0;
};

FuzzServer& fuzzServer() {
    static FuzzServer instance;
    return instance;
}

} // namespace

// The demo server is made before the first input: loading the demo draws its pictures, which on a
// busy machine under the sanitizers takes longer than one input may, and is no input's cost.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzServer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& fuzz = fuzzServer();
    ++fuzz.inputs;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (size_t at = bytes.find("@TOKEN@"); at != std::string::npos; at = bytes.find("@TOKEN@", at))
        bytes.replace(at, 7, fuzz.token);
    std::string replies = fuzz.server->answerRaw(std::move(bytes));
    // Each reply in turn, by its length (a reply to HEAD has none, and ends the walk).
    for (size_t at = 0; at < replies.size() && replies.compare(at, 9, "HTTP/1.1 ") == 0;) {
        // A status is three digits, and never a server error.
        if (replies.size() < at + 12 || replies[at + 9] == '5' ||
            !std::isdigit(static_cast<unsigned char>(replies[at + 9])))
            std::abort();
        size_t end = replies.find("\r\n\r\n", at);
        size_t length = replies.find("\r\nContent-Length: ", at);
        if (end == std::string::npos || length == std::string::npos || length > end) break;
        at = end + 4 + std::strtoull(replies.c_str() + length + 18, nullptr, 10);
    }
    return 0;
}
