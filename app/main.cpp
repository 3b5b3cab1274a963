// Orvanta: the desk client. Message boxes are real windows here; everything else is set up
// by the application object.
#include <QtGlobal>
#include <cstdio>
#include <string_view>

#include "app/OrvantaApp.h"
#include "platform/HelpVersion.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Strings.h"

namespace {

constexpr const char* kUsage =
    "Usage: orvanta [--help] [--version] [Qt options]\n"
    "\n"
    "The desk for the callback requests of an answering service: it lists them, checks\n"
    "for new ones, prints tickets and hands requests to agents. Its settings are read\n"
    "from Env/Orvanta.INI below the folder it is started in; started from a folder\n"
    "without that file (as from the desktop menu), it works in $XDG_DATA_HOME/orvanta\n"
    "(~/.local/share/orvanta), made with a guiding settings file on the first run.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "Qt's own options are accepted as well, for example -platform NAME, -display DISPLAY,\n"
    "-style NAME, -reverse.\n";

void Usage(std::FILE* out) { std::fputs(kUsage, out); }

// No display named and no platform chosen, in the environment or on the command line: the
// desktop's platforms have nothing to open.
bool NoDisplay(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg(argv[i]);
        if (arg.starts_with("--")) arg.remove_prefix(1);
        if (arg == "-display" || arg == "-platform") return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Help and version answer before the application object exists: it needs a display,
    // and a script asking for the version may have none.
    if (const int code = platform::AnswerHelpOrVersion(argc, argv, "orvanta", ORVANTA_VERSION, Usage);
        code >= 0)
        return code;
    // Qt ends the process when no display can be opened, before the arguments are looked at:
    // without a display the arguments are read on an offscreen screen instead, so a wrong one
    // still gets the usage, and the lack of a display is said plainly.
    const bool offscreenOnly = NoDisplay(argc, argv);
    if (offscreenOnly) qputenv("QT_QPA_PLATFORM", "offscreen");
    COrvantaApp app(argc, argv);
    // Qt has taken its own options out of argv; whatever is left is not meant for us.
    if (argc > 1) {
        std::fprintf(stderr, "orvanta: unknown argument '%s'\n", argv[1]);
        Usage(stderr);
        return 2;
    }
    if (offscreenOnly) {
        std::fputs("orvanta: no display to open (neither DISPLAY nor WAYLAND_DISPLAY is set)\n", stderr);
        return 1;
    }
    platform::QtMessagePresenter presenter({res::kButtonOk, res::kServerAddrCancel, res::kButtonYes, res::kButtonNo});
    platform::SetMessagePresenter(&presenter);
    int code = app.InitInstance() ? app.Run() : app.ExitCode();
    platform::SetMessagePresenter(nullptr);
    return code;
}
