// Must compile: the widgets may use the layers below them. Keeps the two
// refused probes honest: they fail for their include, not for their setup.
#include "CImageMgr.h"
#include "Platform.h"
