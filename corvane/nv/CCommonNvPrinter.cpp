// The printer exchanges of CCommonNv.
#include "corvane/nv/CCommonNv.h"
