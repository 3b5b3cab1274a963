// --help and --version, answered alike by every program of the product before it looks at
// anything else on its command line.
#pragma once

#include <cstdio>
#include <cstring>

namespace platform {

// The exit status when argv asks for help (usage on standard output) or for the version
// ("NAME VERSION" on standard output), or -1 when the program should go on.
inline int AnswerHelpOrVersion(int argc, char** argv, const char* name, const char* version,
                               void (*usage)(std::FILE*)) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", name, version);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return -1;
}

}  // namespace platform
