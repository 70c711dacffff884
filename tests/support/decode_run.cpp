#include "support/decode_run.h"

#include "core/diagnostics.h"

namespace ternwick::testing {
namespace {

template <typename Decode>
std::unique_ptr<DecodeRun> run(bool traced, const Decode& decode) {
    auto out = std::make_unique<DecodeRun>();
    CapturingDiagnosticSink quiet;  // X12 symbols echo their characters
    ScopedDiagnosticSink scope(quiet);
    auto context = std::make_unique<DecodeContext>();
    context->flags = StopAtFirstSymbol;
    if (traced) context->trace = &out->trace;
    out->result = decode(out->fields, *context);
    releaseSymbols(*context);
    return out;
}

}  // namespace

std::unique_ptr<DecodeRun> decodeFileOnce(const std::string& path, bool traced) {
    return run(traced, [&](ResultFields& fields, DecodeContext& context) {
        return decodeImageFile(fields, context, path);
    });
}

std::unique_ptr<DecodeRun> decodePictureOnce(ImageBuffer image, bool traced) {
    return run(traced, [&](ResultFields& fields, DecodeContext& context) {
        context.image = std::move(image);
        return decodeLoadedImage(fields, context);
    });
}

}  // namespace ternwick::testing
