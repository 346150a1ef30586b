// A Reporter for tests: records every report and answers from a script, per code; and a
// Questioner that records its questions.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "content/reporter.h"
#include "platform/question.h"

namespace kestrow::test {

// A Questioner for tests: records every question and gives the same answer to each.
class RecordingQuestioner : public platform::Questioner {
public:
    struct Question {
        std::string text;
        std::string caption;
        platform::Buttons buttons;
        platform::Icon icon;
    };
    explicit RecordingQuestioner(platform::Answer answer = platform::Answer::Ok) : answer(answer) {}
    platform::Answer Ask(const std::string& text, const std::string& caption, platform::Buttons buttons,
                         platform::Icon icon) override {
        questions.push_back({text, caption, buttons, icon});
        return answer;
    }
    platform::Answer answer;
    std::vector<Question> questions;
};

struct RecordedReport {
    int code = 0;
    std::string n;
    std::string m;
    std::string x;
};

class RecordingReporter : public Reporter {
public:
    // goOn: the answer of every report that has no scripted answer (1 for the analysis
    // reporter, 0 for the change reporter).
    explicit RecordingReporter(int goOn = 1) : m_goOn(goOn) {}

    int Report(int code, const std::string& n = {}, const std::string& m = {},
               const std::string& x = {}) override {
        reports.push_back({code, n, m, x});
        auto queued = m_queued.find(code);
        if (queued != m_queued.end() && !queued->second.empty()) {
            int answer = queued->second.front();
            queued->second.pop_front();
            return answer;
        }
        auto fixed = m_always.find(code);
        return fixed != m_always.end() ? fixed->second : m_goOn;
    }

    // The next reports of `code` take these answers in turn, then the fixed or go-on answer.
    void Queue(int code, std::initializer_list<int> answers) {
        m_queued[code].insert(m_queued[code].end(), answers.begin(), answers.end());
    }
    // Every report of `code` takes this answer (after any queued ones).
    void Always(int code, int answer) { m_always[code] = answer; }

    // Every report in order, one line each, for a golden transcript; then forgets them.
    std::string TakeTranscript() {
        std::string out;
        for (const auto& r : reports) {
            out += "  report " + std::to_string(r.code) + " |" + r.n + "|" + r.m + "|" + r.x + "|\n";
        }
        reports.clear();
        return out;
    }

    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& r : reports) codes.push_back(r.code);
        return codes;
    }
    std::size_t Count(int code) const {
        std::size_t n = 0;
        for (const auto& r : reports) n += r.code == code ? 1 : 0;
        return n;
    }
    std::vector<RecordedReport> OfCode(int code) const {
        std::vector<RecordedReport> out;
        for (const auto& r : reports) {
            if (r.code == code) out.push_back(r);
        }
        return out;
    }

    std::vector<RecordedReport> reports;

private:
    int m_goOn;
    std::map<int, std::deque<int>> m_queued;
    std::map<int, int> m_always;
};

}  // namespace kestrow::test
