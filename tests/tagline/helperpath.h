// Points the MP3 reads of a test at the helper program of this build.
#pragma once

#include "tagline/mp3infohelper.h"

namespace kestrow::test {

inline void UseBuiltMp3InfoHelper() {
    Mp3InfoHelper::Instance().SetExecutable(KESTROW_TEST_MP3INFO);
}

}  // namespace kestrow::test
