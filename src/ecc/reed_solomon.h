// Reed-Solomon decoding of the ECC200 codeword stream over GF(256) (field
// polynomial x^8 + x^5 + x^3 + x^2 + 1, primitive element 2, check codewords
// making the block polynomial vanish at 2^1 .. 2^n), with erasures, over the
// interleaved blocks of the larger sizes.
#pragma once

#include <array>
#include <cstdint>

#include "sample/symbol_result.h"

namespace ternwick {

namespace detail {

constexpr std::array<std::int32_t, 256> makeGfExp() {
    std::array<std::int32_t, 256> table{};
    std::int32_t value = 1;
    for (int k = 0; k < 256; ++k) {
        table[static_cast<std::size_t>(k)] = value;
        value <<= 1;
        if (value & 0x100) value ^= 0x12D;
    }
    return table;
}

constexpr std::array<std::int32_t, 256> makeGfLog() {
    std::array<std::int32_t, 256> table{};
    const std::array<std::int32_t, 256> exp = makeGfExp();
    table[0] = -255;  // log of zero: never used
    for (int k = 1; k < 255; ++k) table[static_cast<std::size_t>(exp[static_cast<std::size_t>(k)])] = k;
    table[1] = 255;
    return table;
}

// Tables for products without a branch or a modulo: the log of 0 is taken as
// 512, past every sum of two logs of non-zero elements (at most 508), and the
// wide antilog table gives 2^k for k below 512 and 0 from 512 on.
inline constexpr std::int32_t kLogOfZero = 512;

constexpr std::array<std::int32_t, 2 * kLogOfZero + 1> makeGfExpWide() {
    std::array<std::int32_t, 2 * kLogOfZero + 1> table{};
    const std::array<std::int32_t, 256> exp = makeGfExp();
    for (int k = 0; k < kLogOfZero; ++k) table[static_cast<std::size_t>(k)] = exp[static_cast<std::size_t>(k % 255)];
    return table;
}

constexpr std::array<std::int32_t, 256> makeGfLogWide() {
    std::array<std::int32_t, 256> table = makeGfLog();
    table[0] = kLogOfZero;
    table[1] = 0;
    return table;
}

inline constexpr std::array<std::int32_t, 2 * kLogOfZero + 1> gfExpWide = makeGfExpWide();
inline constexpr std::array<std::int32_t, 256> gfLogWide = makeGfLogWide();

}  // namespace detail

// gfExp[k] = 2^k for k = 0..255 (gfExp[255] = gfExp[0] = 1).
inline constexpr std::array<std::int32_t, 256> gfExp = detail::makeGfExp();
// gfLog[a] = k with 2^k = a for a = 2..255; gfLog[1] = 255, gfLog[0] = -255.
inline constexpr std::array<std::int32_t, 256> gfLog = detail::makeGfLog();

// Product of two field elements (0..255).
inline std::int32_t gfMul(std::int32_t a, std::int32_t b) {
    return detail::gfExpWide[static_cast<std::size_t>(detail::gfLogWide[static_cast<std::size_t>(a)] +
                                                      detail::gfLogWide[static_cast<std::size_t>(b)])];
}

// Inverse of a non-zero field element; 0 for 0, which has none.
inline std::int32_t gfInv(std::int32_t a) {
    if (a == 0) return 0;
    return gfExp[static_cast<std::size_t>(255 - gfLog[static_cast<std::size_t>(a)])];
}

// Most check codewords a block may have here (every ECC200 size has at most 68).
inline constexpr std::int32_t kMaxCheckPerBlock = 128;

// Working data of the decoder for one block at a time. Polynomials are
// coefficient arrays indexed by the power of x.
struct ReedSolomonState {
    std::int32_t eccPerBlock = 0;                 // n, check codewords per block
    std::array<std::int32_t, 512> syndromeTable{};  // S[0..n-1]: the block at 2^1 .. 2^n
    std::array<std::int32_t, 256> erasureLocations{};
    std::int32_t erasureLocationCount = 0;
    std::array<std::int32_t, 512> errorLocator{};   // 2n coefficients in use
    std::array<std::int32_t, 512> errorEvaluator{}; // 2n coefficients in use, the upper n zero
    std::array<std::int32_t, 256> errorLocations{};
    std::int32_t errorLocationCount = 0;
};

// Checks and corrects the symbol's codewords in place. 1 = every block is
// consistent (corrected where needed) and the first codeword can open a
// message (1..241); 0 = uncorrectable or implausible.
int correctSymbol(SymbolResult& symbol);

// S[j] = the block polynomial (first byte = highest power) at 2^(j+1), j < n.
void computeSyndromes(ReedSolomonState& state, const std::uint8_t* block, std::int32_t length);

// 1 when any of S[0..n-1] is not 0.
int syndromesNonZero(const ReedSolomonState& state);

// Corrects one block in place given the indexes of its erased bytes. 1 =
// corrections applied; 0 = uncorrectable, block unchanged. The caller checks
// the syndromes of the result.
int correctBlock(ReedSolomonState& state, std::uint8_t* block, std::int32_t length, const std::int32_t* positions,
                 std::int32_t count);

// The steps of correctBlock.
void findErrorLocator(ReedSolomonState& state);
void initErasureLocator(const ReedSolomonState& state, std::int32_t* gamma);
std::int32_t computeDiscrepancy(const ReedSolomonState& state, const std::int32_t* psi, std::int32_t degree,
                                std::int32_t step);
void computeEvaluator(ReedSolomonState& state);
void findErrorLocations(ReedSolomonState& state);

}  // namespace ternwick
