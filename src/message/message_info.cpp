#include "message/message_info.h"

namespace ternwick {

std::string_view messageFaultText(MessageFault fault) {
    switch (fault) {
        case MessageFault::None: return "";
        case MessageFault::CutShort: return "the data ends inside an encodation unit";
        case MessageFault::EciOutOfRange: return "an ECI value out of range";
        case MessageFault::BadStructuredAppend: return "a structured-append header out of range";
        case MessageFault::MisplacedCodeword: return "a header codeword after the first position";
    }
    return "";
}

}  // namespace ternwick
