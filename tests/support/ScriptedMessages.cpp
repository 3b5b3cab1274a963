#include "tests/support/ScriptedMessages.h"

namespace platform {

ScriptedMessages::ScriptedMessages() : previous_(SetMessagePresenter(this)) {}

ScriptedMessages::~ScriptedMessages() { SetMessagePresenter(previous_); }

int ScriptedMessages::Show(const MessageBoxRequest& request) {
    shown_.push_back(request);
    if (answers_.empty()) return DefaultMessageAnswer(request.type);
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

}  // namespace platform
