// The headless runner's entry point: the command line, then the run.
#include <cstdio>

#include "gfx/data_folder.h"
#include "headless_options.h"
#include "headless_runner.h"
#include "platform/install_paths.h"
#include "verify_flight.h"

int main(int argc, char** argv) {
    HeadlessOptions options;
    std::string error;
    if (!parseHeadlessOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "dravik-headless: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kHeadlessUsage, stdout);
        return 0;
    }
    // The media beside the program (the build folder), whatever the working folder.
    setDataFolder(findDataFolder());
    if (!options.verifyFile.empty())
        return verifyFlight(options);
    HeadlessRunner runner(options);
    return runner.run();
}
