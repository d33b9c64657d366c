// Must not compile: the widgets may not reach up into the worker.
#include "CXCopyThread.h"
