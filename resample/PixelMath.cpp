// The rounding-mode scope of the resampler's threads.
#include "resample/PixelMath.h"

#include <cfenv>

TRoundToNearestScope::TRoundToNearestScope()
    : FPrevious(std::fegetround())
{
    std::fesetround(FE_TONEAREST);
}

TRoundToNearestScope::~TRoundToNearestScope()
{
    std::fesetround(FPrevious);
}
