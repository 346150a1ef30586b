// The special-file rule lists of a job. Planning needs the rules, so they live with the renaming
// module; the engine takes them from there.
#pragma once

#include "rename/specialfilerules.h"
