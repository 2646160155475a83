// Placeholder entry point until the front end lands.
#include "usi/usi.h"

namespace mirabel {
int EngineMain(int, char**) { return 0; }
}  // namespace mirabel
