// The kinds of notice and question the program shows, each with its icon in the message window.
#pragma once

namespace core {

enum class MessageKind { Error = 0, Information = 1, Question = 2, Warning = 3 };

}  // namespace core
