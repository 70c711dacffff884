#include "support/symbol_writer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>

#include "sample/symbol_result.h"

namespace ternwick::testing {
namespace {

const SymbolSize& sizeRow(int symbolSize) {
    const int index = findSizeIndex(symbolSize);
    if (index < 0) throw std::invalid_argument("no square ECC200 size " + std::to_string(symbolSize));
    return kSymbolSizes[static_cast<std::size_t>(index)];
}

int regionsPerSide(const SymbolSize& row) {
    return row.symbolSize / (row.regionSize + 2);
}

// GF(256) with the field polynomial x^8 + x^5 + x^3 + x^2 + 1, multiplied
// bit by bit (shift and add) rather than through log tables.
std::uint8_t fieldMultiply(std::uint8_t a, std::uint8_t b) {
    unsigned product = 0;
    unsigned x = a;
    for (unsigned y = b; y != 0; y >>= 1) {
        if (y & 1u) product ^= x;
        x <<= 1;
        if (x & 0x100u) x ^= 0x12Du;
    }
    return static_cast<std::uint8_t>(product);
}

// Generator polynomial (x - 2)(x - 4)...(x - 2^n), highest power first,
// leading coefficient 1 included.
std::vector<std::uint8_t> generatorPolynomial(int checkCount) {
    std::vector<std::uint8_t> g{1};
    std::uint8_t root = 1;
    for (int i = 1; i <= checkCount; ++i) {
        root = fieldMultiply(root, 2);
        std::vector<std::uint8_t> next(g.size() + 1, 0);
        for (std::size_t k = 0; k < g.size(); ++k) {
            next[k] ^= g[k];
            next[k + 1] ^= fieldMultiply(g[k], root);
        }
        g = std::move(next);
    }
    return g;
}

// Remainder of data(x) * x^n divided by the generator: the check codewords.
std::vector<std::uint8_t> checkCodewordsOf(const std::vector<std::uint8_t>& data,
                                           const std::vector<std::uint8_t>& generator) {
    const std::size_t n = generator.size() - 1;
    std::vector<std::uint8_t> remainder(n, 0);
    for (std::uint8_t d : data) {
        const std::uint8_t feedback = d ^ remainder[0];
        std::rotate(remainder.begin(), remainder.begin() + 1, remainder.end());
        remainder[n - 1] = 0;
        for (std::size_t j = 0; j < n; ++j) remainder[j] ^= fieldMultiply(feedback, generator[j + 1]);
    }
    return remainder;
}

// The ECC200 placement, written as a table from mapping position to the
// codeword bit it carries: entry = codeword * 8 + (7 - bit), where bit 7 is
// the most significant; -1 where no codeword is placed.
class PlacementTable {
public:
    explicit PlacementTable(int size) : n_(size), cells_(static_cast<std::size_t>(size * size), -1) { build(); }
    int at(int row, int col) const { return cells_[static_cast<std::size_t>(row * n_ + col)]; }
    int placed() const { return next_; }

private:
    void put(int row, int col, int codeword, int bitFromTop) {
        if (row < 0) {
            row += n_;
            col += 4 - ((n_ + 4) % 8);
        }
        if (col < 0) {
            col += n_;
            row += 4 - ((n_ + 4) % 8);
        }
        cells_[static_cast<std::size_t>(row * n_ + col)] = codeword * 8 + bitFromTop;
    }
    bool free(int row, int col) const { return at(row, col) < 0; }

    void standard(int row, int col) {
        const int cw = next_++;
        const int offsets[8][2] = {{-2, -2}, {-2, -1}, {-1, -2}, {-1, -1}, {-1, 0}, {0, -2}, {0, -1}, {0, 0}};
        for (int b = 0; b < 8; ++b) put(row + offsets[b][0], col + offsets[b][1], cw, b);
    }
    void fixed(const int (&positions)[8][2]) {
        const int cw = next_++;
        for (int b = 0; b < 8; ++b) {
            const int r = positions[b][0] < 0 ? n_ + positions[b][0] : positions[b][0];
            const int c = positions[b][1] < 0 ? n_ + positions[b][1] : positions[b][1];
            put(r, c, cw, b);
        }
    }

    void build() {
        // Negative numbers below count from the far end (-1 = last row or column).
        static constexpr int kCornerA[8][2] = {{-1, 0}, {-1, 1}, {-1, 2}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}};
        static constexpr int kCornerB[8][2] = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -4}, {0, -3}, {0, -2}, {0, -1}, {1, -1}};
        static constexpr int kCornerC[8][2] = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}};
        static constexpr int kCornerD[8][2] = {{-1, 0}, {-1, -1}, {0, -3}, {0, -2}, {0, -1}, {1, -3}, {1, -2}, {1, -1}};
        int row = 4;
        int col = 0;
        do {
            if (row == n_ && col == 0) fixed(kCornerA);
            if (row == n_ - 2 && col == 0 && n_ % 4 != 0) fixed(kCornerB);
            if (row == n_ - 2 && col == 0 && n_ % 8 == 4) fixed(kCornerC);
            if (row == n_ + 4 && col == 2 && n_ % 8 == 0) fixed(kCornerD);
            for (; row >= 0 && col < n_; row -= 2, col += 2) {
                if (row < n_ && col >= 0 && free(row, col)) standard(row, col);
            }
            row += 1;
            col += 3;
            for (; row < n_ && col >= 0; row += 2, col -= 2) {
                if (row >= 0 && col < n_ && free(row, col)) standard(row, col);
            }
            row += 3;
            col += 1;
        } while (row < n_ || col < n_);
    }

    int n_;
    std::vector<int> cells_;
    int next_ = 0;
};

// Linear part of the symbol-to-picture map: rotation, then the extra warp.
struct LinearMap {
    double m[4];  // [m0 m1; m2 m3]
    double inv[4];
};

LinearMap linearMapOf(const RenderOptions& o) {
    const double angle = o.rotationDegrees * std::numbers::pi / 180.0;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double* a = o.affine;
    LinearMap map{};
    map.m[0] = a[0] * c + a[1] * s;
    map.m[1] = -a[0] * s + a[1] * c;
    map.m[2] = a[2] * c + a[3] * s;
    map.m[3] = -a[2] * s + a[3] * c;
    const double det = map.m[0] * map.m[3] - map.m[1] * map.m[2];
    if (!(std::fabs(det) > 1e-12)) throw std::invalid_argument("singular warp");
    map.inv[0] = map.m[3] / det;
    map.inv[1] = -map.m[1] / det;
    map.inv[2] = -map.m[2] / det;
    map.inv[3] = map.m[0] / det;
    return map;
}

// Symbol (X, Y in modules) <-> offset from the symbol centre in the picture.
struct Projection {
    LinearMap linear;
    double half;      // symbolSize / 2
    double module;    // pixels a module
    double p0, p1;    // projective terms

    // Offset of a symbol point from the picture centre; false behind the horizon.
    bool forward(double X, double Y, double& qx, double& qy) const {
        const double u = (X - half) * module;
        const double v = (Y - half) * module;
        const double lx = linear.m[0] * u + linear.m[1] * v;
        const double ly = linear.m[2] * u + linear.m[3] * v;
        const double w = 1.0 + p0 * lx + p1 * ly;
        if (!(w > 1e-9)) return false;
        qx = lx / w;
        qy = ly / w;
        return true;
    }
    bool inverse(double qx, double qy, double& X, double& Y) const {
        const double den = 1.0 - p0 * qx - p1 * qy;
        if (!(den > 1e-9)) return false;
        const double lx = qx / den;
        const double ly = qy / den;
        X = (linear.inv[0] * lx + linear.inv[1] * ly) / module + half;
        Y = (linear.inv[2] * lx + linear.inv[3] * ly) / module + half;
        return true;
    }
};

int ceilToSize(double v) {
    if (!(v >= 1.0 && v < 65536.0)) throw std::invalid_argument("picture size out of range");
    return static_cast<int>(std::ceil(v));
}

std::uint8_t toGreyByte(double v) {
    if (!(v > 0.0)) return 0;  // NaN included
    if (v >= 255.0) return 255;
    return static_cast<std::uint8_t>(v + 0.5);
}

void gaussianBlur(std::vector<double>& plane, int width, int height, double sigma) {
    const int radius = static_cast<int>(std::ceil(3.0 * sigma));
    std::vector<double> kernel(static_cast<std::size_t>(2 * radius + 1));
    double sum = 0.0;
    for (int k = -radius; k <= radius; ++k) {
        kernel[static_cast<std::size_t>(k + radius)] = std::exp(-0.5 * k * k / (sigma * sigma));
        sum += kernel[static_cast<std::size_t>(k + radius)];
    }
    for (double& k : kernel) k /= sum;
    std::vector<double> work(plane.size());
    auto pass = [&](const std::vector<double>& in, std::vector<double>& out, bool horizontal) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                double acc = 0.0;
                for (int k = -radius; k <= radius; ++k) {
                    const int sx = horizontal ? std::clamp(x + k, 0, width - 1) : x;
                    const int sy = horizontal ? y : std::clamp(y + k, 0, height - 1);
                    acc += kernel[static_cast<std::size_t>(k + radius)] *
                           in[static_cast<std::size_t>(sy) * static_cast<std::size_t>(width) + static_cast<std::size_t>(sx)];
                }
                out[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = acc;
            }
        }
    };
    pass(plane, work, true);
    pass(work, plane, false);
}

}  // namespace

int mappingSizeOf(int symbolSize) {
    const SymbolSize& row = sizeRow(symbolSize);
    return regionsPerSide(row) * row.regionSize;
}

std::vector<std::uint8_t> asciiCodewords(std::string_view text) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool digit = c >= '0' && c <= '9';
        if (digit && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
            out.push_back(static_cast<std::uint8_t>(130 + (c - '0') * 10 + (text[i + 1] - '0')));
            ++i;
        } else if (c > 127) {
            out.push_back(235);
            out.push_back(static_cast<std::uint8_t>(c - 127));
        } else {
            out.push_back(static_cast<std::uint8_t>(c + 1));
        }
    }
    return out;
}

std::vector<std::uint8_t> padData(std::vector<std::uint8_t> data, int symbolSize) {
    const auto capacity = static_cast<std::size_t>(sizeRow(symbolSize).dataCodewords);
    if (data.size() > capacity) throw std::length_error("data does not fit the symbol");
    if (data.size() < capacity) data.push_back(129);
    while (data.size() < capacity) {
        const int position = static_cast<int>(data.size()) + 1;  // 1-based in the stream
        int pad = 129 + (149 * position) % 253 + 1;
        if (pad > 254) pad -= 254;
        data.push_back(static_cast<std::uint8_t>(pad));
    }
    return data;
}

std::vector<std::uint8_t> encodeAscii(std::string_view text, int symbolSize) {
    return padData(asciiCodewords(text), symbolSize);
}

std::string sampleText(int symbolSize, unsigned seed) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,-:/";
    const int sizeIndex = findSizeIndex(symbolSize);
    if (sizeIndex < 0) throw std::invalid_argument("not a square ECC200 size");
    const int half = std::max(1, kSymbolSizes[sizeIndex].dataCodewords / 2);
    std::string text;
    unsigned state = seed * 2654435761u + 12345u;
    while (static_cast<int>(asciiCodewords(text).size()) < half) {
        state = state * 1103515245u + 12345u;
        text += alphabet[(state >> 16) % (sizeof alphabet - 1)];
    }
    return text;
}

std::vector<std::uint8_t> addCheckCodewords(const std::vector<std::uint8_t>& data, int symbolSize) {
    const SymbolSize& row = sizeRow(symbolSize);
    if (data.size() != static_cast<std::size_t>(row.dataCodewords)) {
        throw std::invalid_argument("data codewords must fill the symbol's capacity");
    }
    const int blocks = row.blockCount;
    const int checkPerBlock = row.eccCodewords / blocks;
    const std::vector<std::uint8_t> generator = generatorPolynomial(checkPerBlock);
    std::vector<std::uint8_t> stream(data);
    stream.resize(static_cast<std::size_t>(row.dataCodewords + row.eccCodewords));
    for (int b = 0; b < blocks; ++b) {
        std::vector<std::uint8_t> blockData;
        for (int m = b; m < row.dataCodewords; m += blocks) blockData.push_back(data[static_cast<std::size_t>(m)]);
        const std::vector<std::uint8_t> check = checkCodewordsOf(blockData, generator);
        // Check codewords follow the same rule as data: stream position m
        // belongs to block m mod B (only 144x144 has data not a multiple of B).
        std::size_t k = 0;
        for (int m = row.dataCodewords; m < row.dataCodewords + row.eccCodewords; ++m) {
            if (m % blocks == b) stream[static_cast<std::size_t>(m)] = check.at(k++);
        }
    }
    return stream;
}

ModuleMatrix mappingMatrix(int symbolSize, const std::vector<std::uint8_t>& codewords) {
    const SymbolSize& row = sizeRow(symbolSize);
    if (codewords.size() != static_cast<std::size_t>(row.dataCodewords + row.eccCodewords)) {
        throw std::invalid_argument("codeword stream of the wrong length");
    }
    const int n = mappingSizeOf(symbolSize);
    const PlacementTable table(n);
    if (table.placed() != static_cast<int>(codewords.size())) throw std::logic_error("placement count");
    ModuleMatrix mapping(static_cast<std::size_t>(n), std::vector<bool>(static_cast<std::size_t>(n), false));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const int cell = table.at(r, c);
            if (cell < 0) continue;
            const std::uint8_t cw = codewords[static_cast<std::size_t>(cell / 8)];
            mapping[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = ((cw >> (7 - cell % 8)) & 1u) != 0;
        }
    }
    // Sizes whose placement leaves the bottom-right 2x2 unused: a fixed pattern.
    if (table.at(n - 1, n - 1) < 0) {
        mapping[static_cast<std::size_t>(n - 1)][static_cast<std::size_t>(n - 1)] = true;
        mapping[static_cast<std::size_t>(n - 2)][static_cast<std::size_t>(n - 2)] = true;
    }
    return mapping;
}

ModuleMatrix symbolFromMapping(int symbolSize, const ModuleMatrix& mapping) {
    const SymbolSize& row = sizeRow(symbolSize);
    const int R = row.regionSize;
    const auto S = static_cast<std::size_t>(symbolSize);
    if (mapping.size() != static_cast<std::size_t>(mappingSizeOf(symbolSize))) {
        throw std::invalid_argument("mapping matrix of the wrong size");
    }
    ModuleMatrix symbol(S, std::vector<bool>(S, false));
    for (int r = 0; r < symbolSize; ++r) {
        for (int c = 0; c < symbolSize; ++c) {
            // Each region is drawn as a small symbol of its own: solid left
            // column and bottom row, alternating top row and right column.
            const int lr = r % (R + 2);
            const int lc = c % (R + 2);
            bool dark;
            if (lc == 0 || lr == R + 1) {
                dark = true;
            } else if (lr == 0) {
                dark = lc % 2 == 0;
            } else if (lc == R + 1) {
                dark = lr % 2 == 1;
            } else {
                const int mr = (r / (R + 2)) * R + lr - 1;
                const int mc = (c / (R + 2)) * R + lc - 1;
                dark = mapping[static_cast<std::size_t>(mr)][static_cast<std::size_t>(mc)];
            }
            symbol[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = dark;
        }
    }
    return symbol;
}

ModuleMatrix mappingFromSymbol(int symbolSize, const ModuleMatrix& symbol) {
    const SymbolSize& row = sizeRow(symbolSize);
    const int R = row.regionSize;
    if (symbol.size() != static_cast<std::size_t>(symbolSize)) throw std::invalid_argument("symbol of the wrong size");
    const int n = mappingSizeOf(symbolSize);
    ModuleMatrix mapping(static_cast<std::size_t>(n), std::vector<bool>(static_cast<std::size_t>(n), false));
    for (int mr = 0; mr < n; ++mr) {
        for (int mc = 0; mc < n; ++mc) {
            const int r = (mr / R) * (R + 2) + mr % R + 1;
            const int c = (mc / R) * (R + 2) + mc % R + 1;
            mapping[static_cast<std::size_t>(mr)][static_cast<std::size_t>(mc)] =
                symbol.at(static_cast<std::size_t>(r)).at(static_cast<std::size_t>(c));
        }
    }
    return mapping;
}

ModuleMatrix symbolModules(int symbolSize, const std::vector<std::uint8_t>& codewords) {
    return symbolFromMapping(symbolSize, mappingMatrix(symbolSize, codewords));
}

RenderedSymbol renderSymbol(const ModuleMatrix& modules, const RenderOptions& options) {
    const int S = static_cast<int>(modules.size());
    if (S == 0) throw std::invalid_argument("empty symbol");
    if (!(options.moduleSize > 0.0) || !(options.quietZone >= 0.0) || options.supersampling < 1) {
        throw std::invalid_argument("bad render options");
    }
    const Projection projection{linearMapOf(options), S / 2.0, options.moduleSize, options.perspective[0],
                                options.perspective[1]};

    // Picture size: room for the symbol and its quiet zone around the centre.
    int width = options.width;
    int height = options.height;
    if (width <= 0 || height <= 0) {
        double reachX = 0.0;
        double reachY = 0.0;
        for (const double X : {-options.quietZone, S + options.quietZone}) {
            for (const double Y : {-options.quietZone, S + options.quietZone}) {
                double qx = 0.0;
                double qy = 0.0;
                if (!projection.forward(X, Y, qx, qy)) throw std::invalid_argument("warp folds the symbol");
                reachX = std::max(reachX, std::fabs(qx));
                reachY = std::max(reachY, std::fabs(qy));
            }
        }
        if (width <= 0) width = ceilToSize(2.0 * reachX);
        if (height <= 0) height = ceilToSize(2.0 * reachY);
    }
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxImagePixels) {
        throw std::invalid_argument("picture too large");
    }
    const double cx = options.centreX >= 0.0 ? options.centreX : (width - 1) / 2.0;
    const double cy = options.centreY >= 0.0 ? options.centreY : (height - 1) / 2.0;

    const double dark = options.lightOnDark ? options.lightLevel : options.darkLevel;
    const double light = options.lightOnDark ? options.darkLevel : options.lightLevel;

    // Cell of a symbol point: a module (0..S-1 each way), or -1 / S beyond the
    // symbol's sides; kBehind for points the perspective cannot reach.
    constexpr int kBehind = -1000;
    struct Cell {
        int x, y;
        bool operator==(const Cell&) const = default;
    };
    auto cellOf = [&](double px, double py) -> Cell {
        double X = 0.0;
        double Y = 0.0;
        if (!projection.inverse(px - cx, py - cy, X, Y)) return {kBehind, kBehind};
        auto index = [S](double v) { return v < 0.0 ? -1 : v >= S ? S : static_cast<int>(v); };
        return {index(X), index(Y)};
    };
    // Colours of the cells -1..S each way (beyond the symbol: light), flat
    // for speed.
    const int side = S + 2;
    std::vector<std::uint8_t> colour(static_cast<std::size_t>(side * side), 0);
    for (int cy = 0; cy < S; ++cy) {
        for (int cx = 0; cx < S; ++cx) {
            colour[static_cast<std::size_t>((cy + 1) * side + cx + 1)] =
                modules[static_cast<std::size_t>(S - 1 - cy)][static_cast<std::size_t>(cx)] ? 1 : 0;
        }
    }
    auto isDark = [&](Cell cell) {
        if (cell.x == kBehind) return false;
        return colour[static_cast<std::size_t>((cell.y + 1) * side + cell.x + 1)] != 0;
    };
    // Colour shared by every cell of the index range the four corners span, or
    // -1. The pixel's footprint is convex, so it lies inside that range.
    auto uniformColour = [&](const Cell (&corners)[4]) -> int {
        int minX = corners[0].x, maxX = minX, minY = corners[0].y, maxY = minY;
        for (const Cell& c : corners) {
            if (c.x == kBehind) return -1;
            minX = std::min(minX, c.x);
            maxX = std::max(maxX, c.x);
            minY = std::min(minY, c.y);
            maxY = std::max(maxY, c.y);
        }
        if (maxX - minX > 2 || maxY - minY > 2) return -1;
        const int first = isDark(corners[0]) ? 1 : 0;
        for (int cy = minY; cy <= maxY; ++cy) {
            for (int cx = minX; cx <= maxX; ++cx) {
                if ((isDark({cx, cy}) ? 1 : 0) != first) return -1;
            }
        }
        return first;
    };

    const auto W = static_cast<std::size_t>(width);
    std::vector<double> plane(W * static_cast<std::size_t>(height));
    std::vector<Cell> below(W + 1);
    std::vector<Cell> above(W + 1);
    for (int x = 0; x <= width; ++x) below[static_cast<std::size_t>(x)] = cellOf(x - 0.5, -0.5);
    const int ss = options.supersampling;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x <= width; ++x) above[static_cast<std::size_t>(x)] = cellOf(x - 0.5, y + 0.5);
        for (int x = 0; x < width; ++x) {
            const auto ux = static_cast<std::size_t>(x);
            const Cell corners[4] = {below[ux], below[ux + 1], above[ux], above[ux + 1]};
            const int uniform = corners[0].x == kBehind && corners[1] == corners[0] && corners[2] == corners[0] &&
                                        corners[3] == corners[0]
                                    ? 0
                                    : uniformColour(corners);
            double coverage;
            if (uniform >= 0) {
                coverage = uniform;
            } else {
                int hits = 0;
                for (int j = 0; j < ss; ++j) {
                    for (int i = 0; i < ss; ++i) {
                        const double px = x - 0.5 + (i + 0.5) / ss;
                        const double py = y - 0.5 + (j + 0.5) / ss;
                        if (isDark(cellOf(px, py))) ++hits;
                    }
                }
                coverage = static_cast<double>(hits) / (ss * ss);
            }
            double grey = light + (dark - light) * coverage;
            if (width > 1) grey += options.illuminationGradient * x / (width - 1);
            plane[static_cast<std::size_t>(y) * W + ux] = grey;
        }
        std::swap(below, above);
    }

    if (options.blurSigma > 0.0) gaussianBlur(plane, width, height, options.blurSigma);
    if (options.noiseSigma > 0.0) {
        std::mt19937 random(options.seed);
        std::normal_distribution<double> noise(0.0, options.noiseSigma);
        for (double& v : plane) v += noise(random);
    }

    RenderedSymbol out;
    out.image.width = width;
    out.image.height = height;
    out.image.capacity = plane.size();
    out.image.pixels.reset(new std::uint8_t[plane.size()]);
    for (std::size_t p = 0; p < plane.size(); ++p) out.image.pixels[p] = toGreyByte(plane[p]);
    out.toImage = [projection, cx, cy](double X, double Y) {
        double qx = 0.0;
        double qy = 0.0;
        if (!projection.forward(X, Y, qx, qy)) throw std::domain_error("point behind the horizon");
        return Vector2{static_cast<float>(cx + qx), static_cast<float>(cy + qy)};
    };
    out.finderCorner = out.toImage(0.0, 0.0);
    out.solidRowEnd = out.toImage(S, 0.0);
    out.solidColumnEnd = out.toImage(0.0, S);
    return out;
}

RenderedSymbol renderText(std::string_view text, int symbolSize, const RenderOptions& options) {
    return renderSymbol(symbolModules(symbolSize, addCheckCodewords(encodeAscii(text, symbolSize), symbolSize)),
                        options);
}

}  // namespace ternwick::testing
