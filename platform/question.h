// Questions to the user: one interface that each front end implements (message box, terminal).
#pragma once

#include <string>

namespace kestrow::platform {

enum class Buttons { Ok, YesNoDefaultYes, YesNoDefaultNo, RetryCancel, AbortRetryIgnore };
enum class Icon { Exclamation, Information };
enum class Answer { Ok, Yes, No, Retry, Cancel, Abort, Ignore };

class Questioner {
public:
    virtual ~Questioner() = default;
    // Blocks the calling (worker) thread until the user answers.
    virtual Answer Ask(const std::string& text, const std::string& caption, Buttons buttons, Icon icon) = 0;
};

// The answer a question takes when nobody can be asked: the refusing button of its set.
Answer RefusingAnswer(Buttons buttons);

}  // namespace kestrow::platform
