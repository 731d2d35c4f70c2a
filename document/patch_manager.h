#pragma once
// The container's patch manager lives with the parameters.
#include "parameters/patch_manager.h"
