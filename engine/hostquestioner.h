// Lets engine parts that take a platform questioner (the list readers' warnings) ask through the
// job's host.
#pragma once

#include "engine/jobhost.h"
#include "engine/reportprompter.h"

namespace kestrow {

class HostQuestioner : public platform::Questioner {
public:
    explicit HostQuestioner(JobHost& host) : m_host(host) {}
    platform::Answer Ask(const std::string& text, const std::string& caption, platform::Buttons buttons,
                         platform::Icon icon) override {
        return m_host.Ask(HostQuestion{text, caption, buttons, icon, DefaultAnswerOf(buttons)});
    }

private:
    JobHost& m_host;
};

}  // namespace kestrow
