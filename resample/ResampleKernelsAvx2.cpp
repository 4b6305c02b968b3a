// The AVX2 inner loops of the filtered resampler. Each function is built for AVX2 on its own
// (a target attribute, not a flag for the file), so nothing shared with the plain code can come
// out of this file with AVX2 instructions in it. Every lane does what the plain loops do to the
// same sample, operation for operation: separate multiplies and adds (no fused multiply-add,
// which AVX2 alone does not enable), the taps in order, the same conversions.
#include "resample/ResampleKernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

#include "resample/PixelMath.h"

#define TAVMOR_AVX2 __attribute__((target("avx2")))

namespace {

// ---- Conversions ----

// Eight samples widened to 32-bit integers; exact, as is their conversion to float.
TAVMOR_AVX2 inline __m256 LoadSamples(const uint8_t* p)
{
    return _mm256_cvtepi32_ps(
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
TAVMOR_AVX2 inline __m256 LoadSamples(const uint16_t* p)
{
    return _mm256_cvtepi32_ps(
        _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
}

// Eight samples as floats: SampleToFloat of each.
template <typename TSample> TAVMOR_AVX2 inline __m256 LoadTapValues(const TSample* p, __m256 scale)
{
    return _mm256_mul_ps(LoadSamples(p), scale);
}

// ---- Vertical pass ----

// Strips of Vectors × 8 samples: the sums of a strip stay in registers over every tap, so the
// line is written once instead of once per few taps.
template <typename TSample, int Vectors>
TAVMOR_AVX2 inline size_t VerticalStrips(const TSample* const* rows, const float* weights,
    size_t taps, size_t count, size_t i, float* line, __m256 scale)
{
    constexpr size_t kWidth = size_t(Vectors) * 8;
    constexpr size_t kAhead = 8 * kWidth;
    for (; i + kWidth <= count; i += kWidth) {
        __m256 acc[Vectors];
        for (int v = 0; v < Vectors; ++v)
            acc[v] = _mm256_setzero_ps();
        for (size_t k = 0; k < taps; ++k) {
            const TSample* r = rows[k] + i;
            // Twelve to sixty rows are read side by side, more streams than the hardware
            // prefetcher follows; a few strips ahead is far enough to hide the latency.
            _mm_prefetch(reinterpret_cast<const char*>(r + kAhead), _MM_HINT_T0);
            const __m256 w = _mm256_broadcast_ss(weights + k);
            for (int v = 0; v < Vectors; ++v)
                acc[v] = _mm256_add_ps(acc[v], _mm256_mul_ps(LoadTapValues(r + 8 * v, scale), w));
        }
        for (int v = 0; v < Vectors; ++v)
            _mm256_storeu_ps(line + i + 8 * v, acc[v]);
    }
    return i;
}

template <typename TSample>
TAVMOR_AVX2 void VerticalAvx2(
    const TSample* const* rows, const float* weights, size_t taps, size_t count, float* line)
{
    const __m256 scale = _mm256_set1_ps(kSampleScale<TSample>);
    size_t i = VerticalStrips<TSample, 4>(rows, weights, taps, count, 0, line, scale);
    i = VerticalStrips<TSample, 1>(rows, weights, taps, count, i, line, scale);
    for (; i < count; ++i) {
        float acc = 0.0f;
        for (size_t k = 0; k < taps; ++k)
            acc = acc + SampleToFloat(rows[k][i]) * weights[k];
        line[i] = acc;
    }
}

// ---- Horizontal pass ----

// Two line pixels, one per 128-bit half: three channels and the next float, whose sums are
// never used.
TAVMOR_AVX2 inline __m256 LoadPixelPair(const float* low, const float* high)
{
    return _mm256_loadu2_m128(high, low);
}

// The weights of two pixels, side by side in memory, each repeated over its half: one load
// and one shuffle within the halves.
TAVMOR_AVX2 inline __m256 WeightPair(const float* pair)
{
    const __m256 both =
        _mm256_castpd_ps(_mm256_broadcast_sd(reinterpret_cast<const double*>(pair)));
    return _mm256_permutevar_ps(both, _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
}

// Writes the fourth lane of each pixel too; the next pixel's store (or the padding) takes it
// over, so the halves are stored in order.
TAVMOR_AVX2 inline void StorePixelPair(__m256 v, float* out)
{
    _mm_storeu_ps(out, _mm256_castps256_ps128(v));
    _mm_storeu_ps(out + kLineChannels, _mm256_extractf128_ps(v, 1));
}

// Eight destination pixels per step in four pairs, so that four independent chains of
// additions hide each other's latency; each pixel adds its taps in order.
TAVMOR_AVX2 void HorizontalAvx2(
    const float* line, const TColumnTable& columns, int32_t width, float* out)
{
    const size_t taps = size_t(columns.Taps);
    const ptrdiff_t* offset = columns.Offset.data();
    const float* weight = columns.Weight.data();
    const float* pairWeight = columns.PairWeight.data();
    const uint8_t* consecutive = columns.Consecutive.data();
    const int32_t* first = columns.First.data();
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        // The pair weights of pixels x .. x + 7: four pairs of 2 × taps floats each.
        const float* w = pairWeight + size_t(x) * taps;
        __m256 acc[4] = { _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(),
            _mm256_setzero_ps() };
        uint8_t all = 1;
        for (int32_t j = 0; j < 8; ++j)
            all &= consecutive[x + j];
        if (all) {
            const float* l[8];
            for (int32_t j = 0; j < 8; ++j)
                l[j] = line + ptrdiff_t(first[x + j]) * kLineChannels;
            for (size_t k = 0; k < taps; ++k) {
                const size_t at = k * kLineChannels;
                for (int p = 0; p < 4; ++p) {
                    const __m256 v = LoadPixelPair(l[2 * p] + at, l[2 * p + 1] + at);
                    const __m256 wp = WeightPair(w + 2 * (size_t(p) * taps + k));
                    acc[p] = _mm256_add_ps(acc[p], _mm256_mul_ps(v, wp));
                }
            }
        } else {
            const ptrdiff_t* o = offset + size_t(x) * taps;
            for (size_t k = 0; k < taps; ++k)
                for (int p = 0; p < 4; ++p) {
                    const __m256 v = LoadPixelPair(
                        line + o[size_t(2 * p) * taps + k], line + o[size_t(2 * p + 1) * taps + k]);
                    const __m256 wp = WeightPair(w + 2 * (size_t(p) * taps + k));
                    acc[p] = _mm256_add_ps(acc[p], _mm256_mul_ps(v, wp));
                }
        }
        float* dst = out + ptrdiff_t(x) * kLineChannels;
        for (int p = 0; p < 4; ++p)
            StorePixelPair(acc[p], dst + 2 * p * kLineChannels);
    }
    for (; x < width; ++x) {
        const ptrdiff_t* o = offset + size_t(x) * taps;
        const float* w = weight + size_t(x) * taps;
        __m128 acc = _mm_setzero_ps();
        for (size_t k = 0; k < taps; ++k)
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(line + o[k]), _mm_broadcast_ss(w + k)));
        _mm_storeu_ps(out + ptrdiff_t(x) * kLineChannels, acc);
    }
}

// ---- Back to samples ----

// Four floats to four integers: clamp(round-half-even(value × max)) as ClampRoundHalfEven does
// it, with the same double operations: the product is exact, max(x, 0) and min(x, max) keep
// the comparison order of the plain code (a NaN gives 0), and adding and removing 2^52 rounds.
TAVMOR_AVX2 inline __m128i StoreQuad(__m128 v, __m256d max)
{
    const __m256d magic = _mm256_set1_pd(4503599627370496.0);
    __m256d x = _mm256_mul_pd(_mm256_cvtps_pd(v), max);
    x = _mm256_max_pd(x, _mm256_setzero_pd());
    x = _mm256_min_pd(x, max);
    x = _mm256_sub_pd(_mm256_add_pd(x, magic), magic);
    return _mm256_cvtpd_epi32(x);
}

// Sixteen values to integers in 0..max, in order.
TAVMOR_AVX2 inline __m256i StoreSixteen(const float* in, __m256d max)
{
    const __m128i q0 = StoreQuad(_mm_loadu_ps(in), max);
    const __m128i q1 = StoreQuad(_mm_loadu_ps(in + 4), max);
    const __m128i q2 = StoreQuad(_mm_loadu_ps(in + 8), max);
    const __m128i q3 = StoreQuad(_mm_loadu_ps(in + 12), max);
    // Values are in 0..65535, so the unsigned saturation of the pack never changes one.
    const __m128i low = _mm_packus_epi32(q0, q1);
    const __m128i high = _mm_packus_epi32(q2, q3);
    return _mm256_set_m128i(high, low);
}

TAVMOR_AVX2 void StoreRow8Avx2(const float* in, size_t count, uint8_t* out)
{
    const __m256d max = _mm256_set1_pd(255.0);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i words = StoreSixteen(in + i, max);
        const __m128i bytes =
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    for (; i < count; ++i)
        out[i] = FloatToSample<uint8_t>(in[i]);
}

TAVMOR_AVX2 void StoreRow16Avx2(const float* in, size_t count, uint16_t* out)
{
    const __m256d max = _mm256_set1_pd(65535.0);
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), StoreSixteen(in + i, max));
    for (; i < count; ++i)
        out[i] = FloatToSample<uint16_t>(in[i]);
}

constexpr TResampleKernels kAvx2 = {
    VerticalAvx2<uint8_t>,
    VerticalAvx2<uint16_t>,
    HorizontalAvx2,
    StoreRow8Avx2,
    StoreRow16Avx2,
};

} // namespace

const TResampleKernels& Avx2Kernels()
{
    return kAvx2;
}

#else

// Without x86-64 there is no AVX2 table; SelectResampleIsa never picks it.
const TResampleKernels& Avx2Kernels()
{
    return GenericKernels();
}

#endif
