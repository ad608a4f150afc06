#include "controlcanapi.h"

// Out of line so that the vtable lives in one object file.
ControlCanApi::~ControlCanApi() = default;
