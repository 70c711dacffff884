#include "core/error.h"

namespace ternwick {

const char* describe(ErrorCode code) {
    switch (code) {
        case ErrorCode::None: return "no error";
        case ErrorCode::InvalidArgument: return "invalid argument";
        case ErrorCode::FileNotFound: return "no such file";
        case ErrorCode::PermissionDenied: return "permission denied";
        case ErrorCode::NotARegularFile: return "not a regular file";
        case ErrorCode::ReadFailed: return "read error";
        case ErrorCode::UnsupportedFormat: return "not a PNG or BMP picture";
        case ErrorCode::Truncated: return "truncated picture data";
        case ErrorCode::Corrupt: return "corrupt picture data";
        case ErrorCode::TooLarge: return "picture larger than 67108864 pixels";
        case ErrorCode::OutOfMemory: return "out of memory";
    }
    return "unknown error";
}

Error makeError(ErrorCode code, std::string reason) {
    if (reason.empty()) reason = describe(code);
    return Error{code, std::move(reason)};
}

}  // namespace ternwick
