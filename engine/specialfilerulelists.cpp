// The rule lists are built by the renaming module (BuildRuleLists); the engine keeps this header
// so that its users include one name for them.
#include "engine/specialfilerulelists.h"
