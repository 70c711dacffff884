#include "ecc/reed_solomon.h"

#include <algorithm>

namespace ternwick {
namespace {

// Room for the per-block erasure positions and the work block. A block never
// exceeds 255 bytes in GF(256).
constexpr std::int32_t kMaxBlockLength = 255;

// Coefficients used by the locator polynomials: 2n.
std::int32_t polynomialLength(const ReedSolomonState& state) {
    return 2 * state.eccPerBlock;
}

// Multiply by x within the used coefficients: the top one drops out.
void shiftUp(std::int32_t* poly, std::int32_t length) {
    for (std::int32_t i = length - 1; i > 0; --i) poly[i] = poly[i - 1];
    if (length > 0) poly[0] = 0;
}

// Number of stream positions m < total with m mod blocks == block.
std::int32_t blockLength(std::int32_t total, std::int32_t blocks, std::int32_t block) {
    return (total - block + blocks - 1) / blocks;
}

}  // namespace

void computeSyndromes(ReedSolomonState& state, const std::uint8_t* block, std::int32_t length) {
    for (std::int32_t j = 0; j < state.eccPerBlock; ++j) {
        // Horner's rule at 2^(j+1): s * 2^(j+1) is the antilog of log(s) + j + 1.
        const std::int32_t logPoint = j + 1;
        std::int32_t s = 0;
        for (std::int32_t i = 0; i < length; ++i) {
            s = block[i] ^ detail::gfExpWide[static_cast<std::size_t>(detail::gfLogWide[static_cast<std::size_t>(s)] +
                                                                       logPoint)];
        }
        state.syndromeTable[static_cast<std::size_t>(j)] = s;
    }
}

int syndromesNonZero(const ReedSolomonState& state) {
    for (std::int32_t j = 0; j < state.eccPerBlock; ++j) {
        if (state.syndromeTable[static_cast<std::size_t>(j)] != 0) return 1;
    }
    return 0;
}

void initErasureLocator(const ReedSolomonState& state, std::int32_t* gamma) {
    const std::int32_t length = polynomialLength(state);
    std::fill(gamma, gamma + length, 0);
    gamma[0] = 1;
    for (std::int32_t e = 0; e < state.erasureLocationCount; ++e) {
        // gamma *= (1 + 2^L x)
        const std::int32_t root = gfExp[static_cast<std::size_t>(state.erasureLocations[static_cast<std::size_t>(e)])];
        for (std::int32_t i = length - 1; i > 0; --i) gamma[i] ^= gfMul(root, gamma[i - 1]);
    }
}

std::int32_t computeDiscrepancy(const ReedSolomonState& state, const std::int32_t* psi, std::int32_t degree,
                                std::int32_t step) {
    std::int32_t d = 0;
    const std::int32_t top = std::min({degree, step, polynomialLength(state) - 1});
    for (std::int32_t i = 0; i <= top; ++i) {
        d ^= gfMul(psi[i], state.syndromeTable[static_cast<std::size_t>(step - i)]);
    }
    return d;
}

void findErrorLocator(ReedSolomonState& state) {
    const std::int32_t length = polynomialLength(state);
    std::int32_t correction[512];  // D
    std::int32_t locator[512];     // Psi
    std::int32_t next[512];        // Psi2
    initErasureLocator(state, locator);
    std::copy(locator, locator + length, correction);
    shiftUp(correction, length);
    std::int32_t k = -1;
    std::int32_t l = state.erasureLocationCount;
    for (std::int32_t s = state.erasureLocationCount; s < state.eccPerBlock; ++s) {
        const std::int32_t d = computeDiscrepancy(state, locator, l, s);
        if (d != 0) {
            for (std::int32_t i = 0; i < length; ++i) next[i] = locator[i] ^ gfMul(d, correction[i]);
            if (l < s - k) {
                const std::int32_t l2 = s - k;
                k = s - l;
                const std::int32_t inverse = gfInv(d);
                for (std::int32_t i = 0; i < length; ++i) correction[i] = gfMul(locator[i], inverse);
                l = l2;
            }
            std::copy(next, next + length, locator);
        }
        shiftUp(correction, length);
    }
    std::copy(locator, locator + length, state.errorLocator.begin());
    computeEvaluator(state);
}

void computeEvaluator(ReedSolomonState& state) {
    // Only the product's coefficients below n are kept, and only S[0..n-1] reach them.
    const std::int32_t n = state.eccPerBlock;
    for (std::int32_t k = 0; k < 2 * n; ++k) {
        std::int32_t sum = 0;
        if (k < n) {
            for (std::int32_t i = 0; i <= k; ++i) {
                sum ^= gfMul(state.errorLocator[static_cast<std::size_t>(i)],
                             state.syndromeTable[static_cast<std::size_t>(k - i)]);
            }
        }
        state.errorEvaluator[static_cast<std::size_t>(k)] = sum;
    }
}

void findErrorLocations(ReedSolomonState& state) {
    // Chien search: a root 2^r of the locator marks the location 255 - r.
    // The term of x^k at 2^r is 2^(log(coefficient) + k r): its log grows by k
    // from one r to the next, kept below 255. Zero coefficients add nothing.
    state.errorLocationCount = 0;
    const std::int32_t top = std::min(state.eccPerBlock, polynomialLength(state) - 1);
    std::int32_t termLogs[kMaxCheckPerBlock + 1];
    std::int32_t termPowers[kMaxCheckPerBlock + 1];
    std::int32_t terms = 0;
    for (std::int32_t k = 0; k <= top; ++k) {
        const std::int32_t coefficient = state.errorLocator[static_cast<std::size_t>(k)];
        if (coefficient == 0) continue;
        termLogs[terms] = detail::gfLogWide[static_cast<std::size_t>(coefficient)];
        termPowers[terms++] = k;
    }
    for (std::int32_t r = 1; r <= 255; ++r) {
        std::int32_t sum = 0;
        for (std::int32_t t = 0; t < terms; ++t) {
            std::int32_t log = termLogs[t] + termPowers[t];
            if (log >= 255) log -= 255;
            termLogs[t] = log;
            sum ^= gfExp[static_cast<std::size_t>(log)];
        }
        if (sum == 0) state.errorLocations[static_cast<std::size_t>(state.errorLocationCount++)] = 255 - r;
    }
}

int correctBlock(ReedSolomonState& state, std::uint8_t* block, std::int32_t length, const std::int32_t* positions,
                 std::int32_t count) {
    const std::int32_t n = state.eccPerBlock;
    if (n <= 0 || n > kMaxCheckPerBlock || length <= n || length > kMaxBlockLength) return 0;
    if (count < 0 || count >= n) return 0;
    for (std::int32_t e = 0; e < count; ++e) {
        if (positions[e] < 0 || positions[e] >= length) return 0;
        state.erasureLocations[static_cast<std::size_t>(e)] = length - 1 - positions[e];
    }
    state.erasureLocationCount = count;
    findErrorLocator(state);
    findErrorLocations(state);
    const std::int32_t found = state.errorLocationCount;
    if (found == 0 || found > n) return 0;

    // Every test before the first change: the block stays as it was on failure.
    std::int32_t magnitudes[kMaxCheckPerBlock];
    for (std::int32_t f = 0; f < found; ++f) {
        const std::int32_t location = state.errorLocations[static_cast<std::size_t>(f)];
        if (location >= length) return 0;
        const std::int32_t e = 255 - location;  // 2^e is the inverse of 2^location
        std::int32_t numerator = 0;
        std::int32_t denominator = 0;
        // previousLog = (k - 1) e and log = k e, both modulo 255.
        std::int32_t previousLog = 0;
        std::int32_t log = 0;
        for (std::int32_t k = 0; k < 2 * n; ++k) {
            numerator ^= gfMul(state.errorEvaluator[static_cast<std::size_t>(k)], gfExp[static_cast<std::size_t>(log)]);
            if (k % 2 == 1) {
                denominator ^= gfMul(state.errorLocator[static_cast<std::size_t>(k)],
                                     gfExp[static_cast<std::size_t>(previousLog)]);
            }
            previousLog = log;
            log += e;
            if (log >= 255) log -= 255;
        }
        if (denominator == 0) return 0;  // repeated root: no magnitude exists
        magnitudes[f] = gfMul(numerator, gfInv(denominator));
    }
    for (std::int32_t f = 0; f < found; ++f) {
        const std::int32_t location = state.errorLocations[static_cast<std::size_t>(f)];
        block[length - 1 - location] = static_cast<std::uint8_t>(block[length - 1 - location] ^ magnitudes[f]);
    }
    return 1;
}

int correctSymbol(SymbolResult& symbol) {
    if (symbol.sizeIndex < 0 || symbol.sizeIndex >= kSymbolShapeCount || !symbol.codewords) return 0;
    const SymbolShape& size = kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)];
    const std::int32_t total = size.dataCodewords + size.eccCodewords;
    if (symbol.codewordCount != total) return 0;
    if (symbol.erasureCount > size.maxErasures) return 0;
    const std::int32_t erasureCount = symbol.erasures ? std::max(symbol.erasureCount, 0) : 0;

    ReedSolomonState state;
    const std::int32_t blocks = size.blockCount;
    state.eccPerBlock = size.eccCodewords / blocks;
    std::uint8_t* codewords = symbol.codewords.get();

    // Codeword m of the stream, data and check alike, belongs to block m mod B;
    // blocks may differ in length by one (144x144: 218 and 217).
    for (std::int32_t b = 0; b < blocks; ++b) {
        std::uint8_t work[kMaxBlockLength] = {};
        std::int32_t positions[kMaxBlockLength];
        const std::int32_t length = blockLength(total, blocks, b);
        if (length > kMaxBlockLength) return 0;
        for (std::int32_t i = 0; i < length; ++i) work[i] = codewords[b + i * blocks];
        std::int32_t count = 0;
        for (std::int32_t e = 0; e < erasureCount; ++e) {
            const std::int32_t index = symbol.erasures[static_cast<std::size_t>(e)];
            if (index < 0 || index >= total || index % blocks != b) continue;
            if (count == kMaxBlockLength) return 0;
            positions[count++] = index / blocks;
        }
        computeSyndromes(state, work, length);
        if (!syndromesNonZero(state)) continue;
        if (!correctBlock(state, work, length, positions, count)) return 0;
        computeSyndromes(state, work, length);
        if (syndromesNonZero(state)) return 0;
        for (std::int32_t i = 0; i < length; ++i) codewords[b + i * blocks] = work[i];
    }
    return codewords[0] >= 1 && codewords[0] <= 241 ? 1 : 0;
}

}  // namespace ternwick
