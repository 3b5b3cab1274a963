// A message presenter for tests: records every box and answers from a queue.
#pragma once

#include <deque>
#include <vector>

#include "platform/MessageBox.h"

namespace platform {

// Test presenter: records every box and answers from a queue (OK / Yes when the queue is
// empty, matching what the default button would do).
class ScriptedMessages : public MessagePresenter {
public:
    ScriptedMessages();
    ~ScriptedMessages() override;
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    int Show(const MessageBoxRequest& request) override;

    void Answer(int result) { answers_.push_back(result); }
    const std::vector<MessageBoxRequest>& Shown() const { return shown_; }
    void Clear() { shown_.clear(); answers_.clear(); }

private:
    std::vector<MessageBoxRequest> shown_;
    std::deque<int> answers_;
    MessagePresenter* previous_;
};

}  // namespace platform
