// ternwick-gui: the decoder's desktop dialog.
#include "decoder_app.h"

int main(int argc, char** argv) {
    ternwick::DecoderApp app(argc, argv);
    return app.run(app.arguments());
}
