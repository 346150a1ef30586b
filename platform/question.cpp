// Defaults shared by every question front end.
#include "platform/question.h"

namespace kestrow::platform {

Answer RefusingAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNoDefaultYes:
        case Buttons::YesNoDefaultNo:
            return Answer::No;
        case Buttons::RetryCancel:
            return Answer::Cancel;
        case Buttons::AbortRetryIgnore:
            return Answer::Abort;
    }
    return Answer::Cancel;
}

}  // namespace kestrow::platform
