// The folder the program works in: Env/Orvanta.INI is read below it, and the alert sound,
// the exported workbooks and the opt-out number files are found and written there.
//
// Started from a folder that holds Env/Orvanta.INI (a desk set up the classic way, the demo)
// the program stays there. Started from anywhere else (the desktop menu starts programs in
// the home folder) it works in a folder of the user's own, $XDG_DATA_HOME/orvanta
// (~/.local/share/orvanta), made on first use with a settings file that says what to fill in.
#pragma once

#include <string>

class CStartFolder {
public:
    enum class Kind {
        Current,  // the start folder holds the settings file
        PerUser,  // the per-user folder, already set up earlier
        Created,  // the per-user folder, set up just now
        Failed,   // no per-user folder could be made; the start folder stays current
    };

    struct Choice {
        Kind kind = Kind::Current;
        std::string folder;  // absolute; the current directory after Enter
    };

    // Env/Orvanta.INI relative to a folder.
    static constexpr char kSettingsFile[] = "Env/Orvanta.INI";

    // $XDG_DATA_HOME/orvanta when XDG_DATA_HOME is an absolute path, else
    // $HOME/.local/share/orvanta; empty when neither can be told.
    static std::string PerUserFolder();

    // Makes the folder the program works in current and says which one it is.
    static Choice Enter();

    // Writes the guiding settings file (and its Env folder) below folder unless one exists,
    // and copies the installed alert sound beside it. False when the file cannot be made.
    static bool Prepare(const std::string& folder);

    // The text of the first settings file: both keys, empty, with what to write in them.
    static const char* GuideText();
};
