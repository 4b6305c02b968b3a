// Sample ↔ float conversions and the one round-half-even rule shared by the format table and
// the resampler's inner loops, so both give the same bytes.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

/// Rounds to the nearest integer, halves to the even neighbour (the worker's new tile sides).
/// Relies on round-to-nearest being the thread's rounding mode (TRoundToNearestScope).
inline long double RoundHalfEven(long double x)
{
    return std::nearbyint(x);
}

/// 1 / max rounded to the nearest float.
template <typename TSample>
inline constexpr float kSampleScale = float(1.0 / double(std::numeric_limits<TSample>::max()));

/// A sample as a float in 0..1: the product sample × (1 / max), rounded to float.
template <typename TSample> inline float SampleToFloat(TSample s)
{
    return float(s) * kSampleScale<TSample>;
}

/// x limited to 0..max (NaN gives 0) and rounded to the nearest integer, halves to even. V is
/// double or a GCC vector of doubles, so the scalar and the vectorised loops share this rule.
/// Written without calls or branches.
template <typename V> inline V ClampRoundHalfEven(V x, double max)
{
    const V zero {};
    const V top = zero + max;
    x = x > zero ? x : zero;
    x = x < top ? x : top;
    // Adding and removing 2^52 leaves the integer nearest to x, halves to even, for
    // 0 <= x < 2^51 under round-to-nearest. Without -ffast-math the pair is not folded away.
    constexpr double kMagic = 4503599627370496.0;
    return (x + kMagic) - kMagic;
}

/// A filtered value back to a sample: clamp(round-half-even(value × max)). The product of a
/// float and max is exact in double, so only the rounding matters.
template <typename TSample> inline TSample FloatToSample(float value)
{
    constexpr double kMax = double(std::numeric_limits<TSample>::max());
    return TSample(ClampRoundHalfEven(double(value) * kMax, kMax));
}

/// Puts round-to-nearest (halves to even) in force on this thread for its lifetime and restores
/// the previous mode afterwards.
class TRoundToNearestScope {
public:
    TRoundToNearestScope();
    ~TRoundToNearestScope();
    TRoundToNearestScope(const TRoundToNearestScope&) = delete;
    TRoundToNearestScope& operator=(const TRoundToNearestScope&) = delete;

private:
    int FPrevious;
};
