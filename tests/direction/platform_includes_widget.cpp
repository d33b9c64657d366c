// Must not compile: the platform layer may not reach up into the widgets.
#include "CBaseButton.h"
