// How the programs on top of the driver write results as text: bytes in
// hexadecimal, bytes escaped where they are not printable, and the UTF-8 test
// that decides between showing text as it is and escaped. They are the
// ground's own helpers, gathered here so that a program needs no header
// below the driver.
#pragma once

#include "core/hex_text.h"
#include "core/text_escape.h"
