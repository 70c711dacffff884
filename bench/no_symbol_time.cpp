// CPU time of decoding pictures without a symbol, through the public
// readSymbols only, so that the same source builds against any earlier
// version of the library for a side-by-side run: flat scenes with soft
// blotches, noise, text-like strokes, soft shading and blurred finder-like
// shapes, from 40x40 to 4000x3000. Prints the median of several decodes of
// each, in milliseconds.
//
//   no_symbol_time [NAME-PART]
//
// Against another build of the library (a worktree of an earlier commit),
// in one line: g++ -std=c++20 -O2 bench/no_symbol_time.cpp -I OTHER/include
// OTHER/build/src/libternwick.a -lpng -lturbojpeg -lz -o no_symbol_time_other
#include <ternwick/ternwick.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

static double cpuMs() { timespec t; clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t); return t.tv_sec * 1e3 + t.tv_nsec / 1e6; }

struct Pic { std::string name; int w, h; std::vector<std::uint8_t> g; int reps; };

static Pic scene(int w, int h, int reps) {
    Pic p{"scene " + std::to_string(w) + "x" + std::to_string(h), w, h, std::vector<std::uint8_t>(size_t(w) * h), reps};
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x)
        p.g[size_t(y) * w + x] = static_cast<std::uint8_t>(190 + 25 * ((x / 97 + y / 61) % 2) + (x * y) % 7);
    return p;
}
static Pic noise(int w, int h, int reps) {
    Pic p{"noise " + std::to_string(w) + "x" + std::to_string(h), w, h, std::vector<std::uint8_t>(size_t(w) * h), reps};
    std::mt19937 r(1);
    for (auto& v : p.g) v = r() & 0xFF;
    return p;
}
static Pic texture(int w, int h, int reps) {  // gradients and text-like strokes
    Pic p{"texture " + std::to_string(w) + "x" + std::to_string(h), w, h, std::vector<std::uint8_t>(size_t(w) * h), reps};
    std::mt19937 r(7);
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) {
        int v = 120 + (x * 60) / w + (y * 40) / h + int(r() % 9);
        if ((x / 3) % 5 == 0 && (y / 11) % 3 != 0) v -= 80;
        p.g[size_t(y) * w + x] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    }
    return p;
}

static Pic waves(int w, int h, int reps) {  // soft shading, which looks blurred
    Pic p{"waves " + std::to_string(w) + "x" + std::to_string(h), w, h, std::vector<std::uint8_t>(size_t(w) * h), reps};
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x)
        p.g[size_t(y) * w + x] = static_cast<std::uint8_t>(128 + 60 * std::sin(x / 15.0) * std::cos(y / 23.0));
    return p;
}

// Finder-sized L shapes, dark on light, blurred by a Gaussian of the given
// sigma in pixels: a blurred picture the further passes search sharpened and
// for blurred symbols.
static Pic blurredShapes(int w, int h, double sigma, int reps) {
    Pic p{"blurred L " + std::to_string(w) + "x" + std::to_string(h) + " s" + std::to_string(int(sigma)), w, h,
          std::vector<std::uint8_t>(size_t(w) * h, 230), reps};
    std::mt19937 r(3);
    for (int n = 0; n < w * h / 6000; ++n) {
        const int x0 = int(r() % unsigned(w)), y0 = int(r() % unsigned(h)), len = 20 + int(r() % 60), t = 3 + int(r() % 4);
        for (int y = y0; y < std::min(h, y0 + len); ++y) for (int x = x0; x < std::min(w, x0 + t); ++x) p.g[size_t(y) * w + x] = 30;
        for (int y = std::max(0, y0 + len - t); y < std::min(h, y0 + len); ++y)
            for (int x = x0; x < std::min(w, x0 + len); ++x) p.g[size_t(y) * w + x] = 30;
    }
    const int k = int(std::ceil(3 * sigma));
    std::vector<double> kernel(size_t(2 * k + 1)), row(size_t(w) * h);
    double sum = 0;
    for (int i = -k; i <= k; ++i) sum += kernel[size_t(i + k)] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& v : kernel) v /= sum;
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) {
        double a = 0;
        for (int i = -k; i <= k; ++i) a += kernel[size_t(i + k)] * p.g[size_t(y) * w + size_t(std::clamp(x + i, 0, w - 1))];
        row[size_t(y) * w + x] = a;
    }
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) {
        double a = 0;
        for (int i = -k; i <= k; ++i) a += kernel[size_t(i + k)] * row[size_t(std::clamp(y + i, 0, h - 1)) * w + x];
        p.g[size_t(y) * w + x] = static_cast<std::uint8_t>(std::lround(a));
    }
    return p;
}

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    std::vector<Pic> pics = {scene(40, 40, 41), scene(80, 80, 41), scene(150, 150, 41), noise(150, 150, 21), texture(160, 120, 21),
                             scene(300, 300, 21), scene(400, 300, 15), noise(512, 512, 9), scene(640, 480, 9), texture(640, 480, 9),
                             scene(1280, 960, 5), noise(1280, 960, 5), noise(4000, 3000, 3), waves(320, 240, 9), waves(960, 960, 5),
                             blurredShapes(240, 240, 2, 9), blurredShapes(240, 240, 3, 9), blurredShapes(640, 480, 3, 5),
                             blurredShapes(2000, 1500, 4, 3), blurredShapes(640, 480, 6, 5), blurredShapes(240, 240, 6, 9), blurredShapes(200, 150, 5, 9), blurredShapes(120, 120, 4, 9)};
    for (const Pic& p : pics) {
        if (!only.empty() && p.name.find(only) == std::string::npos) continue;
        std::vector<double> t;
        for (int i = 0; i < p.reps; ++i) {
            ternwick::ImageView v{p.g.data(), p.w, p.h, p.w, ternwick::PixelFormat::Grey};
            const double s = cpuMs();
            auto res = ternwick::readSymbols(v);
            t.push_back(cpuMs() - s);
            if (!res.symbols.empty()) std::printf("!! symbol found in %s\n", p.name.c_str());
        }
        std::sort(t.begin(), t.end());
        std::printf("%-22s %10.3f ms\n", p.name.c_str(), t[t.size() / 2]);
        std::fflush(stdout);
    }
}
