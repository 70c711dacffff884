// Placement, Reed-Solomon correction and message decoding on arbitrary
// mapping matrices and on coded streams with arbitrary damage, for every size.
#include <algorithm>
#include <set>
#include <vector>

#include "core/diagnostics.h"
#include "ecc/reed_solomon.h"
#include "fuzz_targets.h"
#include "message/codeword_decoder.h"
#include "message/gs1_element_strings.h"
#include "sample/placement.h"
#include "support/symbol_records.h"
#include "support/symbol_writer.h"

namespace ternwick::fuzz {
namespace {

// Whatever the codewords, the message decoder stays within the record and
// what it says about the message is within the ranges the encodation allows.
void decodeMessage(SymbolResult& symbol, bool notes) {
    const MessageInfo info = decodeCodewords(symbol, MessageOptions{notes});
    fuzzCheck(symbol.messageLength >= 0 && symbol.messageLength <= symbol.messageCapacity,
              "the message stays within its buffer");
    std::int32_t lastEci = 0;
    for (const EciMark& eci : info.eci) {
        fuzzCheck(eci.value <= 999999 && eci.position >= lastEci && eci.position <= symbol.messageLength,
                  "ECI values and positions are in range and in order");
        lastEci = eci.position;
    }
    if (const auto& sa = info.structuredAppend) {
        fuzzCheck(sa->total >= 2 && sa->total <= 16 && sa->position >= 1 && sa->position <= sa->total &&
                      sa->fileId1 >= 1 && sa->fileId1 <= 254 && sa->fileId2 >= 1 && sa->fileId2 <= 254,
                  "structured append fields are in range");
    }
    fuzzCheck(!(info.gs1 && info.aim) && (info.macro == 0 || info.macro == 5 || info.macro == 6),
              "GS1 and AIM exclude each other; macros are 05 or 06");
    // Any message bytes, GS1 or not, give a human-readable form or none.
    const std::string hri = gs1HumanReadable(
        {reinterpret_cast<const char*>(symbol.message.get()), static_cast<std::size_t>(symbol.messageLength)});
    fuzzCheck(hri.empty() || hri.front() == '(', "a human-readable form opens with an identifier");
}

void matrixForm(SymbolResult& symbol, const std::uint8_t* data, std::size_t size, bool notes) {
    const int n = symbol.mappingRows;
    const std::size_t moduleBytes = (static_cast<std::size_t>(n) * n + 7) / 8;
    testing::ModuleMatrix mapping(static_cast<std::size_t>(n), std::vector<bool>(static_cast<std::size_t>(n)));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const std::size_t bit = static_cast<std::size_t>(r) * n + c;
            mapping[r][c] = bit / 8 < size && ((data[bit / 8] >> (7 - bit % 8)) & 1) != 0;
        }
    }
    testing::loadMapping(symbol, mapping);
    for (std::size_t at = moduleBytes; at + 1 < size; at += 2) {
        const std::size_t module = static_cast<std::size_t>(data[at] % n) * n + data[at + 1] % n;
        symbol.modules[module] |= ModuleOutside;
    }
    placeCodewords(symbol);
    fuzzCheck(symbol.erasureCount >= 0 && symbol.erasureCount <= symbol.codewordCount,
              "the erasure list stays within its buffer");
    correctSymbol(symbol);
    decodeMessage(symbol, notes);
}

// Damage to one Reed-Solomon block: erased positions and changed ones.
struct BlockDamage {
    int erasures = 0;
    int errors = 0;
};

void codewordForm(SymbolResult& symbol, int symbolSize, const std::uint8_t* data, std::size_t size, bool notes) {
    const SymbolSize& row = kSymbolSizes[static_cast<std::size_t>(symbol.sizeIndex)];
    std::vector<std::uint8_t> dataCodewords(static_cast<std::size_t>(row.dataCodewords), 129);
    const std::size_t given = std::min(dataCodewords.size(), size);
    std::copy(data, data + given, dataCodewords.begin());
    const std::vector<std::uint8_t> coded = testing::addCheckCodewords(dataCodewords, symbolSize);

    std::vector<std::uint8_t> damaged = coded;
    std::set<int> erased;
    for (std::size_t at = given; at + 2 < size; at += 3) {
        const int position = ((data[at] << 8) | data[at + 1]) % symbol.codewordCount;
        if (data[at + 2] == 0) {
            erased.insert(position);
        } else {
            damaged[static_cast<std::size_t>(position)] ^= data[at + 2];
        }
    }

    testing::loadMapping(symbol, testing::mappingMatrix(symbolSize, damaged));
    placeCodewords(symbol);
    fuzzCheck(std::equal(damaged.begin(), damaged.end(), symbol.codewords.get()),
              "placement reads back the stream the modules were written from");
    for (const int position : erased) symbol.erasures[static_cast<std::size_t>(symbol.erasureCount++)] = position;

    // Within the code's reach (2 errors + erasures <= check codewords in every
    // block, fewer erasures than check codewords, no more erasures than the
    // size allows) the stream must come back whole.
    const int blocks = row.blockCount;
    const int check = row.eccCodewords / blocks;
    std::vector<BlockDamage> damage(static_cast<std::size_t>(blocks));
    for (int i = 0; i < symbol.codewordCount; ++i) {
        BlockDamage& d = damage[static_cast<std::size_t>(i % blocks)];
        if (erased.count(i) != 0) {
            ++d.erasures;
        } else if (damaged[static_cast<std::size_t>(i)] != coded[static_cast<std::size_t>(i)]) {
            ++d.errors;
        }
    }
    const bool correctable =
        static_cast<int>(erased.size()) <= row.maxErasures &&
        std::all_of(damage.begin(), damage.end(),
                    [&](const BlockDamage& d) { return d.erasures < check && 2 * d.errors + d.erasures <= check; });
    const bool plausible = coded[0] >= 1 && coded[0] <= 241;

    const int corrected = correctSymbol(symbol);
    if (correctable) {
        fuzzCheck(corrected == (plausible ? 1 : 0), "damage within the code's reach is corrected");
        fuzzCheck(std::equal(coded.begin(), coded.end(), symbol.codewords.get()),
                  "correction restores the coded stream");
    }
    decodeMessage(symbol, notes);
}

}  // namespace

int fuzzCodewordLayer(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int symbolSize = kSymbolSizes[static_cast<std::size_t>(data[0] % kSymbolSizeCount)].symbolSize;
    const bool codewordStream = (data[1] & 1) != 0;
    const bool notes = (data[1] & 2) != 0;  // the X12 echo and the FNC1 note, when asked for
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scoped(sink);
    SymbolResult symbol = testing::prepareSymbol(symbolSize);
    if (codewordStream) {
        codewordForm(symbol, symbolSize, data + 2, size - 2, notes);
    } else {
        matrixForm(symbol, data + 2, size - 2, notes);
    }
    return 0;
}

}  // namespace ternwick::fuzz
