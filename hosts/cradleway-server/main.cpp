// cradleway-server: the stand-in for the application's server, on SQLite.
//
//   cradleway-server [--db PATH] [--host ADDRESS] [--port N] [--demo] [--access-token-seconds N]
//
// --port 0 picks any free port; the port in use is printed either way.

#include "server/Server.h"

#include <csignal>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <string>

namespace {

int usage(const char* message) {
    if (message) std::cerr << "cradleway-server: " << message << "\n";
    std::cerr << "usage: cradleway-server [--db PATH] [--host ADDRESS] [--port N] [--demo]\n"
                 "                        [--access-token-seconds N] [--files DIR] [--threads N] [--quiet]\n";
    return 2;
}

bool readInt(const char* text, long long low, long long high, long long& out) {
    try {
        size_t used = 0;
        out = std::stoll(text, &used);
        return used == std::strlen(text) && out >= low && out <= high;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    cw::server::ServerOptions options;
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        long long number = 0;
        if (arg == "--db") {
            const char* v = value("--db");
            if (!v) return usage("--db needs a path");
            options.databasePath = v;
        } else if (arg == "--files") {
            const char* v = value("--files");
            if (!v) return usage("--files needs a directory");
            options.filesDirectory = v;
        } else if (arg == "--host") {
            const char* v = value("--host");
            if (!v) return usage("--host needs an address");
            options.host = v;
        } else if (arg == "--port") {
            const char* v = value("--port");
            if (!v || !readInt(v, 0, 65535, number)) return usage("--port needs a number from 0 to 65535");
            options.port = static_cast<int>(number);
        } else if (arg == "--threads") {
            const char* v = value("--threads");
            if (!v || !readInt(v, 1, 256, number)) return usage("--threads needs a number from 1 to 256");
            options.threads = static_cast<int>(number);
        } else if (arg == "--access-token-seconds") {
            const char* v = value("--access-token-seconds");
            if (!v || !readInt(v, 1, 30LL * 24 * 3600, number))
                return usage("--access-token-seconds needs a number of seconds");
            options.accessTokenSeconds = number;
        } else if (arg == "--demo") {
            demo = true;
        } else if (arg == "--quiet") {
            options.accessLog = false;
        } else if (arg == "--help" || arg == "-h") {
            usage(nullptr);
            return 0;
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }

    // SIGINT and SIGTERM are taken by the main thread below; every other thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        cw::server::CradlewayServer server(options);
        if (demo) server.loadDemo();
        int port = server.start();
        std::cout << "cradleway-server: listening on " << server.baseUrl() << " (port " << port << ")"
                  << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        std::cout << "cradleway-server: stopping" << std::endl;
        server.stop();
    } catch (const std::exception& e) {
        std::cerr << "cradleway-server: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
