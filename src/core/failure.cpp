#include "core/failure.h"

namespace ternwick {

const char* describe(FailureKind code) {
    switch (code) {
        case FailureKind::None: return "no error";
        case FailureKind::InvalidArgument: return "invalid argument";
        case FailureKind::FileNotFound: return "no such file";
        case FailureKind::PermissionDenied: return "permission denied";
        case FailureKind::NotARegularFile: return "not a regular file";
        case FailureKind::ReadFailed: return "read error";
        case FailureKind::UnsupportedFormat: return "not a PNG, BMP or JPEG picture";
        case FailureKind::Truncated: return "truncated picture data";
        case FailureKind::Corrupt: return "corrupt picture data";
        case FailureKind::TooLarge: return "picture larger than 67108864 pixels";
        case FailureKind::OutOfMemory: return "out of memory";
    }
    return "unknown error";
}

Failure failure(FailureKind code, std::string reason) {
    if (reason.empty()) reason = describe(code);
    return Failure{code, std::move(reason)};
}

}  // namespace ternwick
