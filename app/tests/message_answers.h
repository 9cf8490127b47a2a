// Answers the message window in GUI tests: records every request and replies from a script
// (2, the second button, once the script runs out).
#pragma once

#include <deque>
#include <vector>

#include "app/message_window.h"

class MessageAnswers {
 public:
  explicit MessageAnswers(std::deque<int> replies = {}) : replies_(std::move(replies)) {
    SetMessageAnswerer([this](const MessageRequest& request) {
      asked.push_back(request);
      if (replies_.empty()) return 2;
      const int reply = replies_.front();
      replies_.pop_front();
      return reply;
    });
  }
  ~MessageAnswers() { SetMessageAnswerer({}); }
  MessageAnswers(const MessageAnswers&) = delete;
  MessageAnswers& operator=(const MessageAnswers&) = delete;

  void Reply(std::deque<int> replies) { replies_ = std::move(replies); }

  std::vector<MessageRequest> asked;

 private:
  std::deque<int> replies_;
};
