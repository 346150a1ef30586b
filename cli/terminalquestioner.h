// Questions on the terminal: the prompt goes to standard error, the answer is read from standard
// input. Without a terminal, or with --yes / --no, questions are answered without asking.
#pragma once

#include <atomic>
#include <string>

#include "cli/clioptions.h"
#include "platform/question.h"

namespace kestrow {

class TerminalQuestioner : public platform::Questioner {
public:
    // interactive: standard input is a terminal the user can answer on. cancel, when set while
    // a question waits, refuses it (Ctrl-C).
    TerminalQuestioner(AnswerPolicy policy, bool interactive, const std::atomic<bool>* cancel, int inFd = 0,
                       int outFd = 2);

    platform::Answer Ask(const std::string& text, const std::string& caption, platform::Buttons buttons,
                         platform::Icon icon) override;

    // --yes: Yes, OK, and Ignore or Cancel where a Retry would loop on a failure that stays.
    static platform::Answer YesAnswer(platform::Buttons buttons);

private:
    // One line of input; false at end of input or when cancelled.
    bool ReadLine(std::string& line);
    void Write(const std::string& text) const;

    AnswerPolicy m_policy;
    bool m_interactive;
    const std::atomic<bool>* m_cancel;
    int m_in;
    int m_out;
};

}  // namespace kestrow
