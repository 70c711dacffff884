#include "trace_report.h"

#include <cmath>
#include <cstdio>

#include "driver/result_text.h"

namespace ternwick {
namespace {

using Json = nlohmann::ordered_json;

double rounded(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

// Turns the trace's records into JSON, numbers rounded to the reference files'
// decimals or kept exactly.
class TraceWriter {
public:
    explicit TraceWriter(TraceNumbers numbers) : exact_(numbers == TraceNumbers::Exact) {}

    // Non-finite numbers have no JSON form: shown as null, or by name when exact.
    Json number(double value, int decimals = 4) const {
        if (!std::isfinite(value)) {
            if (!exact_) return nullptr;
            return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
        }
        return exact_ ? value : rounded(value, decimals);
    }

    Json point(const Vector2& p, int decimals = 4) const {
        return Json::array({number(p.x, decimals), number(p.y, decimals)});
    }

    Json line(const EdgeLine& line) const {
        Json j;
        j["valid"] = line.valid;
        j["refined"] = line.refined;
        j["tStart"] = number(line.tStart, 3);
        j["tEnd"] = number(line.tEnd, 3);
        j["origin"] = point(line.origin, 3);
        j["direction"] = point(line.direction, 5);
        return j;
    }

    Json params(const TransformParams& p) const {
        Json j;
        j["translateX"] = number(p.translateX);
        j["translateY"] = number(p.translateY);
        j["shearX"] = number(p.shearX);
        j["shearY"] = number(p.shearY);
        j["scaleX"] = number(p.scaleX);
        j["scaleY"] = number(p.scaleY);
        j["widthAtY0"] = number(p.widthAtY0);
        j["widthAtY100"] = number(p.widthAtY100);
        j["heightAtX0"] = number(p.heightAtX0);
        j["heightAtX100"] = number(p.heightAtX100);
        return j;
    }

    Json walk(const EdgeWalkRecord& w) const {
        Json j;
        j["anchor_uv"] = point(w.anchorUv);
        j["far_uv"] = point(w.farUv);
        j["anchor_sq"] = point(w.anchorSquare);
        j["far_sq"] = point(w.farSquare);
        j["period_uv"] = Json::array({point(w.periodStartUv), point(w.periodEndUv)});
        j["best_gap"] = number(w.bestGap);
        j["period_img"] = Json::array({point(w.periodStartImage), point(w.periodEndImage)});
        j["clearings"] = w.clearings;
        j["end_uv"] = point(w.endUv);
        j["legcond"] = w.legCondition;
        j["axis"] = w.axisAligned;
        return j;
    }

private:
    bool exact_;
};

}  // namespace

nlohmann::ordered_json traceJson(const DecodeTrace& trace, TraceNumbers numbers) {
    const TraceWriter w(numbers);
    Json list = Json::array();
    if (!trace.hasCandidate) return list;
    const CandidateTrace& c = trace.candidate;
    Json j;
    j["pass"] = c.pass;
    j["line"] = Json::array({onColumnLine(c) ? "col" : "row", c.lineIndex});
    j["seed_across"] = w.number(c.seedAcross);
    j["attempt"] = c.attempt;
    j["levels"] = Json{{"minLevel", w.number(c.levels.minLevel)},
                       {"midLevel", w.number(c.levels.midLevel)},
                       {"maxLevel", w.number(c.levels.maxLevel)},
                       {"baseValue", w.number(c.levels.baseValue)},
                       {"sign", w.number(c.levels.sign)}};
    Json traces = Json::array();
    for (const auto& lines : c.traceLines) traces.push_back(Json{{"line1", w.line(lines[0])}, {"line2", w.line(lines[1])}});
    j["traces"] = traces;
    j["finder"] = Json{{"pC", w.point(c.finderPoints[0])},
                       {"pB", w.point(c.finderPoints[1])},
                       {"pA", w.point(c.finderPoints[2])},
                       {"params_finder", w.params(c.finderParams)}};
    j["polarity_point"] =
        Json::array({w.number(c.top.polarityPoint.x, 3), w.number(c.top.polarityPoint.y, 3), c.top.polarityGrey});
    j["top"] = w.walk(c.top);
    j["right"] = w.walk(c.right);
    j["params_refined"] = w.params(c.refinedParams);
    j["polarity"] = c.polarity;
    Json tries = Json::array();
    for (const BorderCheckRecord& t : c.size.tries) {
        tries.push_back(Json{{"symbolSize", t.symbolSize},
                             {"mismatches", t.mismatches},
                             {"outside", t.outside},
                             {"passed", t.passed ? 1 : 0}});
    }
    j["size"] = Json{{"e1", c.size.e1},
                     {"d_top", w.number(c.size.topPeriodLength)},
                     {"e2", c.size.e2},
                     {"d_right", w.number(c.size.rightPeriodLength)},
                     {"tries", tries}};
    j["sizeIndex"] = c.sizeIndex;
    j["symbolSize"] = c.symbolSize;
    j["erasures"] = c.erasures;
    j["raw_codewords_head"] = hexOf(c.rawCodewordsHead.data(), c.rawCodewordsHead.size(), false);
    j["rs"] = c.correction;
    j["fail"] = c.failedStage.empty() ? Json(nullptr) : Json(c.failedStage);
    j["message_hex"] = hexOf(c.message.data(), c.message.size());
    j["rejected"] = Json{{"rows", trace.rejectedRows}, {"cols", trace.rejectedColumns}};
    list.push_back(j);
    return list;
}

std::string formatTraceText(const DecodeTrace& trace) {
    std::string out;
    char line[512];
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        out += "  trace: ";
        out += line;
        out += "\n";
    };
    if (trace.passesCutShort > 0) {
        add("%d search pass(es) spent their work allowance and passed over their remaining lines",
            trace.passesCutShort);
    }
    if (!trace.hasCandidate) {
        out += "  trace: no candidate got past the finder\n";
        return out;
    }
    const CandidateTrace& c = trace.candidate;
    add("%s candidate, pass %d%s, %s line %d, crossing at %.4f", trace.decodedPass > 0 ? "decoded" : "last",
        c.pass, c.attempt == 2 ? " (thresholded retry)" : "", onColumnLine(c) ? "column" : "row", c.lineIndex,
        static_cast<double>(c.seedAcross));
    add("levels min %.4f mid %.4f max %.4f, base %.1f sign %+.0f", double{c.levels.minLevel}, double{c.levels.midLevel},
        double{c.levels.maxLevel}, double{c.levels.baseValue}, double{c.levels.sign});
    for (int t = 0; t < 2; ++t) {
        for (int l = 0; l < 2; ++l) {
            const EdgeLine& e = c.traceLines[t][l];
            if (!e.valid) continue;
            add("edge trace %d line %d: from (%.3f, %.3f) along (%.5f, %.5f) for %.3f", t + 1, l + 1,
                double{e.origin.x}, double{e.origin.y}, double{e.direction.x}, double{e.direction.y},
                double{e.tEnd} - e.tStart);
        }
    }
    add("finder corner (%.4f, %.4f), leg ends (%.4f, %.4f) and (%.4f, %.4f)", double{c.finderPoints[0].x},
        double{c.finderPoints[0].y}, double{c.finderPoints[1].x}, double{c.finderPoints[1].y},
        double{c.finderPoints[2].x}, double{c.finderPoints[2].y});
    const TransformParams& f = c.finderParams;
    add("after the finder: translate (%.4f, %.4f) shear (%.4f, %.4f) scale (%.4f, %.4f)", double{f.translateX},
        double{f.translateY}, double{f.shearX}, double{f.shearY}, double{f.scaleX}, double{f.scaleY});
    {
        add("polarity %+d (read %d at (%.3f, %.3f))", c.polarity, c.top.polarityGrey, double{c.top.polarityPoint.x},
            double{c.top.polarityPoint.y});
    }
    auto walk = [&](const char* name, const EdgeWalkRecord& w) {
        add("%s walk: anchor (%.4f, %.4f) far (%.4f, %.4f) in the square; period (%.4f, %.4f) to (%.4f, %.4f) in the "
            "image; %d clearings",
            name, double{w.anchorSquare.x}, double{w.anchorSquare.y}, double{w.farSquare.x}, double{w.farSquare.y},
            double{w.periodStartImage.x}, double{w.periodStartImage.y}, double{w.periodEndImage.x},
            double{w.periodEndImage.y}, w.clearings);
    };
    if (c.topRan || c.failedStage == "top edge") walk("top", c.top);
    if (c.rightRan || c.failedStage == "right edge") walk("right", c.right);
    if (c.rightRan) {
        const TransformParams& r = c.refinedParams;
        add("after both sides: width at y=0 %.4f, y=100 %.4f; height at x=0 %.4f, x=100 %.4f", double{r.widthAtY0},
            double{r.widthAtY100}, double{r.heightAtX0}, double{r.heightAtX100});
        add("size estimates %d (period %.4f) and %d (period %.4f)", c.size.e1, double{c.size.topPeriodLength},
            c.size.e2, double{c.size.rightPeriodLength});
        for (const BorderCheckRecord& t : c.size.tries) {
            add("border check %dx%d: %d mismatches, %d outside, %s", t.symbolSize, t.columns, t.mismatches,
                t.outside, t.passed ? "passed" : "failed");
        }
    }
    if (c.sizeRan) {
        add("size index %d (%dx%d), %d erasures, first codewords %s", c.sizeIndex, c.symbolSize, c.symbolColumns,
            c.erasures, hexOf(c.rawCodewordsHead.data(), c.rawCodewordsHead.size(), false).c_str());
        add("correction: %s", c.correction.empty() ? "not reached" : c.correction.c_str());
    }
    if (!c.failedStage.empty()) add("failed at: %s", c.failedStage.c_str());
    return out;
}

}  // namespace ternwick
