// A printer raster as a picture file, for looking at what would print:
// PBM (P4: the raster bytes unchanged, 1 = black) and 1-bit greyscale PNG.
#pragma once

#include "corvane/nv/NvConvert.h"

#include <string>

namespace corvane::nv {

std::string PbmBytes(const Raster& raster);
// Empty for a raster without rows (PNG needs at least one).
std::string PngBytes(const Raster& raster);

} // namespace corvane::nv
