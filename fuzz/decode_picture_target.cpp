// The whole decode, both passes, of small pictures of arbitrary grey levels.
#include <algorithm>
#include <cstring>
#include <memory>

#include "driver/decode_driver.h"
#include "core/diagnostics.h"
#include "fuzz_targets.h"
#include "driver/decode_trace.h"

namespace ternwick::fuzz {
namespace {

// A smaller work allowance than a real decode's keeps every run short; the
// stages and the way a pass ends are the same.
constexpr std::int64_t kFuzzSearchWorkLimit = 100000;

}  // namespace

int fuzzDecodePicture(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int width = data[0] % (kMaxPictureSide + 1);
    const int height = data[1] % (kMaxPictureSide + 1);
    if (width == 0 || height == 0) return 0;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t given = std::min(pixels, size - 2);

    auto context = std::make_unique<DecodeContext>();
    DecodeTrace trace;
    context->trace = &trace;
    context->work.limit = kFuzzSearchWorkLimit;
    context->image.width = width;
    context->image.height = height;
    context->image.pixels.reset(new std::uint8_t[pixels * 3]);
    std::uint8_t* out = context->image.pixels.get();
    std::memset(out, 255, pixels * 3);
    for (std::size_t i = 0; i < given; ++i) out[i * 3] = out[i * 3 + 1] = out[i * 3 + 2] = data[2 + i];

    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scoped(sink);
    ResultFields fields;
    fuzzCheck(decodeLoadedImage(fields, *context) == 0, "a valid picture is decoded to the end");
    fuzzCheck(context->image.pixels == nullptr, "the decode releases the picture");
    if (fields.decoded) {
        const std::size_t shown = std::min<std::size_t>(fields.message.size(), kShownMessageBytes);
        fuzzCheck(fields.hexText.size() == 2 * shown, "the hexadecimal field shows the first message bytes");
        fuzzCheck(fields.asciiText.size() <= shown, "the text field shows at most the first message bytes");
        fuzzCheck(fields.symbolSize >= 10 && fields.symbolSize <= 144, "a decoded symbol has a size of the table");
    } else {
        fuzzCheck(fields.statusText == "Failed!", "a picture without a symbol shows Failed!");
    }
    releaseSymbols(*context);
    return 0;
}

}  // namespace ternwick::fuzz
