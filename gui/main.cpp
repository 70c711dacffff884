// ternwick-gui: the decoder's desktop dialog.
#include "decoder_app.h"
#include "driver/decode_driver.h"

int main(int argc, char** argv) {
    // The decoder's diagnostics go to the console the program was started from.
    ternwick::sendDiagnosticsTo(ternwick::DiagnosticsTarget::StandardStreams);
    ternwick::DecoderApp app(argc, argv);
    return app.run(app.arguments());
}
