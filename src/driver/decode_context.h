// The whole state of one decode: the stages' shared context, the symbols
// found so far, the lines the search rejected, and the optional trace. A
// value of this type belongs to one decode at a time; two decodes with two
// contexts can run on two threads at once, since the working data of every
// stage lives here or in the stage's locals.
#pragma once

#include <cstdint>
#include <vector>

#include "locate/search_context.h"
#include "message/message_info.h"
#include "sample/symbol_result.h"

namespace ternwick {

// Symbol records a context holds unless its symbolLimit says otherwise.
inline constexpr int kMaxSymbols = 16;
inline constexpr int kRejectedLineCapacity = 1024;
inline constexpr std::size_t kMaxUnsized = 8;

// Bits of DecodeContext::flags.
enum DecodeFlag : std::int32_t {
    StopAtFirstSymbol = 1,
    // Every distinct symbol up to symbolLimit: the schedule runs on after a
    // line that yields and the second pass runs after the first, a symbol
    // found again is dropped, and crossings inside a symbol already decoded
    // are passed over.
    AllSymbols = 2,
};

struct DecodeContext;

// The scan-line attempts the driver calls; each returns the symbol count.
// The driver reaches them through this object so that a test can substitute
// its own, with whatever state it needs behind the pointer; a null object
// means the decoder's own attempts.
class ScanLineAttempts {
public:
    virtual ~ScanLineAttempts() = default;
    virtual int firstPass(DecodeContext& context, int direction, int lineIndex) = 0;
    virtual int secondPass(DecodeContext& context, int direction, int lineIndex) = 0;
    // A line of a further pass, over a framed copy of the picture, with the
    // chain of the first (chain 1) or second (chain 2) pass. By default the
    // decoder's own attempt, whatever stands in for the two passes above.
    virtual int furtherPass(DecodeContext& context, int chain, int direction, int lineIndex);
};

struct DecodeTrace;

// A square read as blurred: its size and the picture points of its corners
// (symbol square (0, 0), (100, 0), (0, 100), (100, 100)).
struct BlurredRead {
    int sizeIndex = -1;
    Vector2 corners[4];
};

struct DecodeContext : SearchContext {
    std::int32_t flags = 0;        // DecodeFlag bits
    std::int32_t symbolCount = 0;
    std::int32_t symbolLimit = kMaxSymbols;  // the search stops once it holds this many
    // The first kMaxSymbols records are always there; storeSymbol adds more.
    std::vector<SymbolResult> symbols = std::vector<SymbolResult>(kMaxSymbols);
    // What each symbol says about its message, one for each record.
    std::vector<MessageInfo> messages = std::vector<MessageInfo>(kMaxSymbols);
    std::int32_t rejectedRows[kRejectedLineCapacity] = {};
    std::int32_t rejectedRowCount = 0;
    std::int32_t rejectedColumns[kRejectedLineCapacity] = {};
    std::int32_t rejectedColumnCount = 0;

    // The pixels of the previous picture, which the next one loads into when they are large enough.
    ImageBuffer sparePixels;

    // When above 0, a line's crossings are followed only within this many
    // pixels of either of its ends (the further passes' framed copies, whose
    // inside the first passes have searched already).
    std::int32_t crossingBand = 0;
    // First-pass candidates whose finder and both sides were found but whose
    // size was not, kept (when keepUnsized is set: the kMaxUnsized distinct
    // ones with the longest finder legs, longest first) for the further
    // passes to size another way.
    bool keepUnsized = false;
    std::vector<Candidate> unsized;
    // Candidates whose finder and both sides the search has located so far.
    std::int64_t locatedCandidates = 0;

    ScanLineAttempts* attempts = nullptr;  // null: the decoder's own
    DecodeTrace* trace = nullptr;          // filled only when asked for
    // Above 0 while a further pass reads heavily blurred symbols: the blur's
    // Gaussian sigma in pixels, with which the module grid is deblurred.
    double blurredReading = 0.0;
    // The picture those symbols' grids are sampled from, when the picture
    // searched is a sharpened copy of it (null: the picture searched).
    const ImageBuffer* blurredPicture = nullptr;
    std::vector<BlurredRead> blurredReads;  // the squares read so far in that pass
};

// Frees the buffers of the first symbolCount symbols, zero-fills those records,
// clears their message metadata and sets symbolCount to 0.
void releaseSymbols(DecodeContext& context);

// Moves a decoded symbol and what it says about its message into the next
// record, adding one when needed, and counts it.
void storeSymbol(DecodeContext& context, SymbolResult&& symbol, MessageInfo&& message);

}  // namespace ternwick
