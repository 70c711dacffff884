// The trace-diff check: decodes the generated picture set (support/picture_set.h)
// and compares, picture by picture, every decoded result and every traced
// value, exactly, with a recorded reference file. A change that moves any of
// them, by as little as one float rounding, shows up as a differing line.
//
//   trace_diff [--every N] [--reuse] [--reference FILE] [--write FILE]
//
// --every N decodes every N-th picture only (the slice `make test` runs);
// --reuse decodes every picture with one decode context, as a batch does
// (the default is a new context a picture); --write records the results of
// the pictures decoded instead of comparing.
// Exits 0 when everything matched, 1 on a difference, 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "core/diagnostics.h"
#include "core/hex_text.h"
#include "driver/decode_driver.h"
#include "driver/decode_trace.h"
#include "image/pixel_import.h"
#include "support/picture_set.h"
#include "trace_report.h"

namespace {

using namespace ternwick;
using Json = nlohmann::ordered_json;

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// One picture's decode as a single line of JSON.
std::string decodeRecord(const testing::PictureRecipe& recipe, DecodeContext& context) {
    const testing::GreyPicture picture = testing::renderPicture(recipe);
    CapturingDiagnosticSink captured;
    ScopedDiagnosticSink scope(captured);
    DecodeTrace trace;
    context.trace = &trace;
    ResultFields fields;
    const Failure imported =
        importPixels(context.image, picture.grey.data(), picture.width, picture.height, picture.width, PixelLayout::Grey);
    const int status = imported.failed() ? -1 : decodeLoadedImage(fields, context);
    const std::int64_t work = context.work.spent;
    releaseSymbols(context);
    context.trace = nullptr;

    Json j;
    j["status"] = status;
    j["fields"] = Json::array({fields.statusText, fields.schemeText, fields.asciiText, fields.hexText});
    j["size"] = fields.symbolSize;
    j["message"] = hexOf(fields.message.data(), fields.message.size(), false);
    Json corners = Json::array();
    for (const PicturePoint& p : fields.corners) corners.push_back(Json::array({p.x, p.y}));
    j["corners"] = corners;
    j["pass"] = trace.decodedPass;
    j["cut_short"] = trace.passesCutShort;
    j["work"] = work;
    j["ran"] = Json::array({trace.candidate.topRan, trace.candidate.rightRan, trace.candidate.sizeRan});
    j["diagnostics"] = std::to_string(captured.output.size()) + ":" + std::to_string(fnv1a(captured.output));
    j["trace"] = traceJson(trace, TraceNumbers::Exact);
    return j.dump();
}

std::map<std::string, std::string> readReference(const std::string& path, bool& ok) {
    std::map<std::string, std::string> records;
    std::ifstream in(path);
    ok = in.good();
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) records[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return records;
}

// The first place two records part, for the report.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    const std::size_t from = at > 60 ? at - 60 : 0;
    return "    expected ..." + expected.substr(from, 140) + "\n    actual   ..." + actual.substr(from, 140);
}

}  // namespace

int main(int argc, char** argv) {
    int every = 1;
    std::string referencePath = TERNWICK_SOURCE_DIR "/tests/data/trace_diff/reference.tsv";
    std::string writePath;
    bool reuse = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--every" && i + 1 < argc) {
            every = std::atoi(argv[++i]);
        } else if (arg == "--reuse") {
            reuse = true;
        } else if (arg == "--reference" && i + 1 < argc) {
            referencePath = argv[++i];
        } else if (arg == "--write" && i + 1 < argc) {
            writePath = argv[++i];
        } else {
            std::fprintf(stderr, "usage: trace_diff [--every N] [--reuse] [--reference FILE] [--write FILE]\n");
            return 2;
        }
    }
    if (every < 1) every = 1;

    const std::vector<testing::PictureRecipe> set = testing::pictureSet();
    bool haveReference = false;
    const std::map<std::string, std::string> reference =
        writePath.empty() ? readReference(referencePath, haveReference) : std::map<std::string, std::string>{};
    if (writePath.empty() && !haveReference) {
        std::fprintf(stderr, "trace_diff: cannot read %s\n", referencePath.c_str());
        return 2;
    }
    std::ofstream out;
    if (!writePath.empty()) out.open(writePath);

    auto context = std::make_unique<DecodeContext>();
    int compared = 0;
    int differing = 0;
    for (std::size_t i = 0; i < set.size(); i += static_cast<std::size_t>(every)) {
        // Nothing of one decode may reach the next, with a context of its own or a shared one.
        if (!reuse) context = std::make_unique<DecodeContext>();
        const std::string record = decodeRecord(set[i], *context);
        ++compared;
        if (!writePath.empty()) {
            out << set[i].name << '\t' << record << '\n';
            continue;
        }
        const auto found = reference.find(set[i].name);
        if (found == reference.end() || found->second != record) {
            ++differing;
            std::printf("DIFFERS %s\n%s\n", set[i].name.c_str(),
                        found == reference.end() ? "    not in the reference" : firstDifference(found->second, record).c_str());
        }
    }
    if (!writePath.empty()) {
        std::printf("recorded %d pictures in %s\n", compared, writePath.c_str());
        return out.good() ? 0 : 1;
    }
    std::printf("%d pictures compared, %d differ\n", compared, differing);
    return differing == 0 ? 0 : 1;
}
