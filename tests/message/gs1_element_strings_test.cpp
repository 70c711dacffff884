#include "message/gs1_element_strings.h"

#include <gtest/gtest.h>

namespace ternwick {
namespace {

struct Gs1Case {
    const char* message;  // \x1D is the separator
    const char* humanReadable;
};

TEST(Gs1HumanReadable, FixedFieldsByTheTableVariableOnesUpToTheSeparator) {
    const Gs1Case cases[] = {
        {"0109501101530003" "10ABC123\x1D" "21XYZ", "(01)09501101530003(10)ABC123(21)XYZ"},
        // Predefined lengths need no separator, but may have one.
        {"00123456789012345675" "15231231\x1D" "3103000750" "20" "07", "(00)123456789012345675(15)231231(3103)000750(20)07"},
        {"0109501101530003\x1D" "4101234567890128", "(01)09501101530003(410)1234567890128"},
        // Identifiers of three and four digits among the variable ones.
        {"2401-A\x1D" "7003230101120" "\x1D" "8200http://x.y/z\x1D" "7101AB", "(240)1-A(7003)230101120(8200)http://x.y/z(710)1AB"},
        {"90!\"%&'()*+,-./:;<=>?_az", "(90)!\"%&'()*+,-./:;<=>?_az"},
        // Malformed: no form at all.
        {"", ""},
        {"0109501101530", ""},            // fixed field cut short
        {"01095011015300A3", ""},         // fixed field not numeric
        {"10ABC\x1D", ""},                // separator at the end
        {"10\x1D" "21X", ""},             // empty variable field
        {"10AB\x1D\x1D" "21X", ""},       // two separators
        {"26123", ""},                    // unassigned identifier
        {"7", ""},                        // no whole identifier
        {"10AB C", ""},                   // space outside the GS1 set
        {"10AB#", ""},                    // so is '#'
        {"\x1D" "10AB", ""},              // separator where an identifier starts
    };
    for (const Gs1Case& c : cases) EXPECT_EQ(gs1HumanReadable(c.message), c.humanReadable) << c.message;
}

}  // namespace
}  // namespace ternwick
