#include "platform/MessageBox.h"

#include <atomic>

#include "platform/DebugOutput.h"

namespace platform {

namespace {

std::atomic<MessagePresenter*> g_presenter{nullptr};

int DefaultAnswer(unsigned type) {
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

}  // namespace

int ShowMessageBox(const void* owner, const std::string& text, const std::string& caption,
                   unsigned type) {
    MessagePresenter* presenter = g_presenter.load();
    if (presenter != nullptr) return presenter->Show({owner, text, caption, type});
    OutputDebugString("[" + caption + "] " + text);
    return DefaultAnswer(type);
}

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter) {
    return g_presenter.exchange(presenter);
}

ScriptedMessages::ScriptedMessages() : previous_(SetMessagePresenter(this)) {}

ScriptedMessages::~ScriptedMessages() { SetMessagePresenter(previous_); }

int ScriptedMessages::Show(const MessageBoxRequest& request) {
    shown_.push_back(request);
    if (answers_.empty()) return DefaultAnswer(request.type);
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

}  // namespace platform
