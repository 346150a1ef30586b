// Asking on the terminal.
#include "cli/terminalquestioner.h"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "platform/text.h"

namespace kestrow {

using platform::Answer;
using platform::Buttons;

TerminalQuestioner::TerminalQuestioner(AnswerPolicy policy, bool interactive, const std::atomic<bool>* cancel,
                                       int inFd, int outFd)
    : m_policy(policy), m_interactive(interactive), m_cancel(cancel), m_in(inFd), m_out(outFd) {}

Answer TerminalQuestioner::YesAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNoDefaultYes:
        case Buttons::YesNoDefaultNo:
            return Answer::Yes;
        case Buttons::RetryCancel:
            return Answer::Cancel;
        case Buttons::AbortRetryIgnore:
            return Answer::Ignore;
    }
    return Answer::Ok;
}

void TerminalQuestioner::Write(const std::string& text) const {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(m_out, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

bool TerminalQuestioner::ReadLine(std::string& line) {
    line.clear();
    for (;;) {
        if (m_cancel && m_cancel->load()) return false;
        pollfd p{m_in, POLLIN, 0};
        int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char c;
        ssize_t n = ::read(m_in, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        if (c != '\r') line.push_back(c);
    }
}

Answer TerminalQuestioner::Ask(const std::string& text, const std::string& caption, Buttons buttons,
                               platform::Icon /*icon*/) {
    if (buttons == Buttons::Ok) {
        // A message with nothing to decide is shown and not waited on, whatever the answers.
        Write(platform::EscapeControls(caption + ": " + text) + "\n");
        return Answer::Ok;
    }
    if (m_policy == AnswerPolicy::Yes) return YesAnswer(buttons);
    if (m_policy == AnswerPolicy::No) return platform::RefusingAnswer(buttons);
    if (!m_interactive) return platform::RefusingAnswer(buttons);

    struct Choice {
        char key;
        Answer answer;
    };
    std::string prompt;
    Choice choices[3];
    int count = 0;
    Answer fallback = Answer::Cancel;
    bool hasDefault = false;
    switch (buttons) {
        case Buttons::YesNoDefaultYes:
        case Buttons::YesNoDefaultNo:
            choices[0] = {'y', Answer::Yes};
            choices[1] = {'n', Answer::No};
            count = 2;
            hasDefault = true;
            fallback = buttons == Buttons::YesNoDefaultYes ? Answer::Yes : Answer::No;
            prompt = buttons == Buttons::YesNoDefaultYes ? "[Y/n] " : "[y/N] ";
            break;
        case Buttons::RetryCancel:
            choices[0] = {'r', Answer::Retry};
            choices[1] = {'c', Answer::Cancel};
            count = 2;
            prompt = "[r]etry / [c]ancel: ";
            break;
        case Buttons::AbortRetryIgnore:
            choices[0] = {'a', Answer::Abort};
            choices[1] = {'r', Answer::Retry};
            choices[2] = {'i', Answer::Ignore};
            count = 3;
            prompt = "[a]bort / [r]etry / [i]gnore: ";
            break;
        case Buttons::Ok:
            break;
    }
    // Appended piece by piece: g++ 12 mistakes `"\n" + string` for an overlapping copy at -O3.
    std::string box(1, '\n');
    box += platform::EscapeControls(caption + ": " + text);
    box += '\n';
    Write(box);
    for (;;) {
        Write(prompt);
        std::string line;
        if (!ReadLine(line)) {
            Write("\n");
            return platform::RefusingAnswer(buttons);
        }
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            if (hasDefault) return fallback;
            continue;
        }
        char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line[start])));
        for (int i = 0; i < count; ++i) {
            if (choices[i].key == key) return choices[i].answer;
        }
    }
}

}  // namespace kestrow
