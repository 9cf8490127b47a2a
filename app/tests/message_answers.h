// Answers the workspace's messages in GUI tests: records every request and replies from a script
// (the second button once the script runs out). Destroy it before the workspace.
#pragma once

#include <deque>
#include <vector>

#include "app/message_window.h"

class MessageAnswers {
 public:
  explicit MessageAnswers(app::Messages& messages, std::deque<app::Answer> replies = {})
      : messages_(messages), replies_(std::move(replies)) {
    messages_.SetAnswerer([this](const app::MessageRequest& request) {
      asked.push_back(request);
      if (replies_.empty()) return app::Answer::Second;
      const app::Answer reply = replies_.front();
      replies_.pop_front();
      return reply;
    });
  }
  ~MessageAnswers() { messages_.SetAnswerer({}); }
  MessageAnswers(const MessageAnswers&) = delete;
  MessageAnswers& operator=(const MessageAnswers&) = delete;

  void Reply(std::deque<app::Answer> replies) { replies_ = std::move(replies); }

  std::vector<app::MessageRequest> asked;

 private:
  app::Messages& messages_;
  std::deque<app::Answer> replies_;
};
