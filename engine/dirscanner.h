// Listing a directory anew, the one step both passes take on every directory they walk.
#pragma once

#include "content/dircontents.h"

namespace kestrow {

class DirScanner {
public:
    virtual ~DirScanner() = default;
    // False when the directory cannot be read.
    virtual bool Scan(DirContents& dir) = 0;
};

}  // namespace kestrow
