// cradleway: the application, in a window (or headless, running a script), against the demo
// server it starts in this process unless --server names another.

#include "App/AppDelegate.h"
#include "host/UIApplicationMain.h"
#include "host/WindowHost.h"
#include "hosts/cradleway/CradlewayHost.h"

#include <iostream>

int main(int argc, char** argv) {
    std::string error;
    auto options = cw::host::parseOptions(argc, argv, error);
    if (!options) {
        std::cerr << "cradleway: " << error << "\n" << cw::host::usage();
        return 2;
    }
    if (options->help) {
        std::cout << cw::host::usage() << "\nKeys in the window:\n" << cw::windowHostKeyHelp();
        return 0;
    }
    // Steps read from standard input have standard output to their replies alone: the server's
    // lines go where the application's console goes then, to standard error.
    std::ostream& console = cw::host::readsStepsFromStandardInput(*options) ? std::cerr : std::cout;
    auto environment = cw::host::CradlewayEnvironment::start(*options, console, error);
    if (!environment) {
        std::cerr << "cradleway: " << error << std::endl;
        return 1;
    }
    std::vector<char*> arguments{argv[0]};
    for (auto& a : options->applicationArguments)
        arguments.push_back(a.data());
    arguments.push_back(nullptr);
    cw::WindowHostOptions window;
    window.pushPayload = environment->pushPayload();
    window.demoPhotos = environment->demoPhotos();
    return UIApplicationMain(static_cast<int>(arguments.size()) - 1, arguments.data(),
                             [] { return std::make_shared<AppDelegate>(); }, std::move(window));
}
