// The main function of a dialog test program: the tests run inside the
// program's own application object, with its font and translation.
#pragma once

#include <QTest>

#include "decoder_app.h"

#define TERNWICK_GUI_TEST_MAIN(TestClass)                   \
    int main(int argc, char** argv) {                       \
        ternwick::DecoderApp app(argc, argv);               \
        TestClass test;                                     \
        return QTest::qExec(&test, argc, argv);             \
    }
