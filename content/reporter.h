// The channel through which every engine step reports findings and asks questions.
#pragma once

#include <string>

namespace kestrow {

// A report is a code and up to three texts (N, M, X); the answer tells the step to go on,
// retry (0 from a Retry button) or stop (-1). Implementations may be called from worker threads.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual int Report(int code, const std::string& n = {}, const std::string& m = {},
                       const std::string& x = {}) = 0;
};

}  // namespace kestrow
