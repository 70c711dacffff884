#include "support/sample_walk.h"

#include "locate/region_refine.h"
#include "sample/grid_sampling.h"
#include "sample/size_search.h"
#include "support/locate_walk.h"

namespace ternwick::testing {
namespace {

bool locate(DecodeContext& context, const FinderTry& traces, SymbolResult& symbol) {
    return buildFinder(symbol, traces.first, traces.second) == 1 && fitTopEdge(symbol, context) == 1 &&
           fitRightEdge(symbol, context) == 1;
}

}  // namespace

bool forEachSampledCandidate(DecodeContext& context, Sampling sampling,
                             const std::function<bool(const SymbolResult&)>& accept) {
    bool accepted = false;
    for (const ScanLineRef& line : firstPassSchedule(context.image)) {
        walkCrossings(context.image, line, [&](const CrossingCursor& cursor) {
            FinderTry traces;
            tryFinder(context, cursor, traces);
            if (traces.accepted != 1) return true;
            SymbolResult symbol;
            startCandidate(symbol, cursor.local);
            if (!locate(context, traces, symbol)) return true;
            if (sampling == Sampling::Levels) {
                if (fitSymbolSize(symbol, context) != 1) return true;
                sampleModules(symbol, context);
            } else {
                startCandidate(symbol, cursor.local);
                symbol.levels.minLevel = context.lastTopEdgeLevels.minLevel;
                symbol.levels.maxLevel = context.lastTopEdgeLevels.maxLevel;
                symbol.levels.midLevel = context.lastTopEdgeLevels.midLevel;
                if (!locate(context, traces, symbol) || fitSymbolSizeThresholded(symbol, context) != 1) return true;
            }
            accepted = accept(symbol);
            return !accepted;
        });
        if (accepted) return true;
    }
    return false;
}

int moduleDifferences(const SymbolResult& symbol, int symbolSize, const ModuleMatrix& mapping) {
    if (symbol.sizeIndex < 0 || kSymbolSizes[symbol.sizeIndex].symbolSize != symbolSize || !symbol.modules) return -1;
    const int n = symbol.mappingRows;
    if (static_cast<int>(mapping.size()) != n) return -1;
    int differences = 0;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const bool background = (symbol.modules[static_cast<std::size_t>(row) * n + col] & ModuleBackground) != 0;
            if (background == mapping[row][col]) ++differences;
        }
    }
    return differences;
}

}  // namespace ternwick::testing
