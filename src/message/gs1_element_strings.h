// The human-readable form of a GS1 message: each application identifier in
// parentheses before its data, as printed under GS1 symbols.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "message/message_info.h"

namespace ternwick {

// From the message bytes of a GS1 symbol (after the leading FNC1, with the
// group separator 0x1D ending variable-length fields), for example
// "0109501101530003" "10ABC123" GS "21XYZ" gives
// "(01)09501101530003(10)ABC123(21)XYZ". Fields whose length GS1 predefines
// take exactly that many digits; all others run to the next separator or the
// end. Returns "" when the bytes are not a well-formed sequence of element
// strings: an unknown identifier, a short or non-numeric fixed field, an
// empty field, a character outside the GS1 set or a separator with nothing
// after it.
std::string gs1HumanReadable(std::string_view message);

// The human-readable form of a decoded message: "" unless the symbol marked it as GS1.
std::string gs1HumanReadableOf(const MessageInfo& info, const std::uint8_t* message, std::size_t length);

}  // namespace ternwick
