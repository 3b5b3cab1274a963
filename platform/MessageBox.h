// Modal message boxes. The program asks through ShowMessageBox with the familiar style
// flags; the installed presenter shows them (a Qt box in the desktop program, a recording
// one in the tests).
#pragma once

#include <string>
#include <vector>

namespace platform {

// Buttons
constexpr unsigned MB_OK = 0x00000000;
constexpr unsigned MB_OKCANCEL = 0x00000001;
constexpr unsigned MB_YESNO = 0x00000004;
// Icons
constexpr unsigned MB_ICONERROR = 0x00000010;
constexpr unsigned MB_ICONQUESTION = 0x00000020;
constexpr unsigned MB_ICONEXCLAMATION = 0x00000030;
constexpr unsigned MB_ICONINFORMATION = 0x00000040;
constexpr unsigned MB_ICONMASK = 0x000000F0;
constexpr unsigned MB_TYPEMASK = 0x0000000F;

// Answers
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct MessageBoxRequest {
    const void* owner = nullptr;  // the owner window, null for none
    std::string text;
    std::string caption;
    unsigned type = MB_OK;
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual int Show(const MessageBoxRequest& request) = 0;
};

// Shows a box through the installed presenter. Without one the box is written to the
// diagnostics channel and answered with the first button (OK or Yes).
int ShowMessageBox(const void* owner, const std::string& text, const std::string& caption,
                   unsigned type);

// Installs a presenter (not owned); null removes it. Returns the previous one.
MessagePresenter* SetMessagePresenter(MessagePresenter* presenter);

// The answer a box gets when nobody is asked: its first button (OK, or Yes).
int DefaultMessageAnswer(unsigned type);


}  // namespace platform
