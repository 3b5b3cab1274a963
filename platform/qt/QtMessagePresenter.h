// The desktop program's message boxes: each request becomes a modal QMessageBox with the
// caption, icon and buttons asked for, owned by the window given (or the active window).
#pragma once

#include <string>

#include "platform/MessageBox.h"

class QWidget;

namespace platform {

struct MessageButtonTexts {
    std::string ok;
    std::string cancel;
    std::string yes;
    std::string no;
};

class QtMessagePresenter : public MessagePresenter {
public:
    explicit QtMessagePresenter(MessageButtonTexts texts);
    int Show(const MessageBoxRequest& request) override;

private:
    MessageButtonTexts texts_;
};

// Owner argument for ShowMessageBox: always pass the window itself, never a pointer to a
// class that derives from more than one base.
inline const void* MessageOwner(const QWidget* window) { return window; }

}  // namespace platform
