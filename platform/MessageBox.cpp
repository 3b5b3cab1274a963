#include "platform/MessageBox.h"

#include <atomic>

#include "platform/DebugOutput.h"

namespace platform {

namespace {

std::atomic<MessagePresenter*> g_presenter{nullptr};

}  // namespace

int DefaultMessageAnswer(unsigned type) {
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

int ShowMessageBox(const void* owner, const std::string& text, const std::string& caption,
                   unsigned type) {
    MessagePresenter* presenter = g_presenter.load();
    if (presenter != nullptr) return presenter->Show({owner, text, caption, type});
    OutputDebugString("[" + caption + "] " + text);
    return DefaultMessageAnswer(type);
}

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter) {
    return g_presenter.exchange(presenter);
}

}  // namespace platform
