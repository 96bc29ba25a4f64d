#pragma once

// The input helpers moved to the page kit; this keeps the parameter pages building until
// they include kit/CParamInput.h themselves.
#include "kit/CParamInput.h"
