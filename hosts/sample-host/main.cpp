// The small sample application in the window host (or, with --headless, the headless one): a list
// of days that opens a detail screen whose Share button asks a question.

#include "host/UIApplicationMain.h"
#include "hosts/sample-host/SampleApp.h"

int main(int argc, char** argv) {
    return UIApplicationMain(argc, argv, [] { return std::make_shared<SampleAppDelegate>(); });
}
