#pragma once

// The dialog helpers (OnNextModalDialog and the rest) now live with the other window helpers.
#include "UiTest.h"
