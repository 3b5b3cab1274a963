// Command-line helpers of every program of the product: --help and --version, answered alike
// before a program looks at anything else, and whole-number option values.
#pragma once

#include <cstdio>
#include <cstdlib>
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

// A whole decimal number from lo to hi, nothing before or after it, for option values.
inline bool ParseInt(const char* text, long long lo, long long hi, long long* out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

}  // namespace platform
