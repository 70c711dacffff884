// Failures as values: what went wrong, by kind, with a one-line reason in
// English for people. Nothing in the library prints or ends the process;
// whatever fails hands one of these back to its caller.
#pragma once

#include <string>

namespace ternwick {

enum class FailureKind {
    None,
    InvalidArgument,    // a picture description or option that makes no sense
    FileNotFound,
    PermissionDenied,
    NotARegularFile,    // a directory, FIFO, socket or device
    ReadFailed,         // the system could not read the file
    UnsupportedFormat,  // not a picture this library reads, or a variant of one it does not
    Truncated,          // the data ends before the picture does
    Corrupt,            // the data contradicts itself
    TooLarge,           // above the picture size limit
    OutOfMemory,
};

// A short description of the kind, such as "no such file".
const char* describe(FailureKind code);

struct Failure {
    FailureKind code = FailureKind::None;
    std::string reason;  // one line; describe(code) unless something more precise is known

    bool failed() const { return code != FailureKind::None; }
};

// An error of the kind, with its reason or else the kind's description.
Failure failure(FailureKind code, std::string reason = {});

}  // namespace ternwick
