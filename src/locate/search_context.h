// What the stages of one decode share: the picture being searched, the work
// spent so far, and working data that one candidate leaves for the next stage
// or that is too large to live in a stage's frame. A value belongs to one
// decode at a time; two decodes with two contexts run on two threads at once.
#pragma once

#include <array>
#include <memory>

#include "core/search_work.h"
#include "image/image_buffer.h"

namespace ternwick {

// Minimum, maximum and mid level seen by the latest top-side walk of this decode.
struct TopEdgeLevels {
    float minLevel = 0.0f;
    float maxLevel = 0.0f;
    float midLevel = 0.0f;
};

// Grids of the second pass's thresholded sampling: room for (S + 4)^2 cells
// with S up to 144.
inline constexpr int kGridCapacitySide = 148;
struct SamplingGrids {
    std::array<float, kGridCapacitySide * kGridCapacitySide> rawGrid{};
    std::array<float, kGridCapacitySide * kGridCapacitySide> binarisedGrid{};
};

struct SearchContext {
    ImageBuffer image;
    TopEdgeLevels lastTopEdgeLevels;
    std::unique_ptr<SamplingGrids> grids;  // allocated on first use
    SearchWork work;
    bool outOfMemory = false;  // set by a stage that could not allocate; the search stops
};

}  // namespace ternwick
