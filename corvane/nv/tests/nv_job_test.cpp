#include "nv_fixture.h"
