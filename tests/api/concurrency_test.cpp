// Several threads reading different pictures at once get what one thread
// gets: every pixel format and stride, symbols from both passes, pictures
// without a symbol, refused pictures and loads from PNG and BMP bytes.
// `make tsan` runs this test under ThreadSanitizer.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/caller_picture.h"
#include "support/picture_files.h"
#include "support/symbol_writer.h"
#include "support/worst_case_pictures.h"
#include "ternwick/ternwick.h"

namespace ternwick {
namespace {

// One job: a caller's picture to read, or file bytes to load and then read.
struct Job {
    std::vector<std::uint8_t> bytes;
    ImageView view;   // into bytes, when a picture
    bool file = false;
};

// A job's outcome, in a form that compares whole.
std::string outcomeOf(const Job& job) {
    ImageView view = job.view;
    LoadResult loaded;
    std::string text;
    if (job.file) {
        loaded = loadPictureMemory(job.bytes.data(), job.bytes.size());
        text = "load " + loaded.error.reason + " " + std::to_string(loaded.picture.grey.size()) + ";";
        view = loaded.picture.view();
    }
    ReaderOptions options;
    options.maxSymbols = 2;
    const ReadResult read = readSymbols(view, options);
    text += "error " + std::to_string(static_cast<int>(read.error.code)) + " " + read.error.reason + ";";
    for (const Symbol& s : read.symbols) {
        text += std::string(s.bytes.begin(), s.bytes.end()) + " " + std::to_string(s.rows) + " pass " +
                std::to_string(s.pass) + " corrected " + std::to_string(s.correctedErrors);
        for (const Point& p : s.corners) text += " " + std::to_string(p.x) + "," + std::to_string(p.y);
        text += ";";
    }
    return text;
}

Job pictureJob(const ImageBuffer& image, PixelFormat format, int padding) {
    testing::CallerPicture picture = testing::callerPicture(image, format, padding);
    Job job;
    job.bytes = std::move(picture.bytes);
    job.view = picture.view;  // the vector's buffer moved with it
    return job;
}

std::vector<Job> jobs() {
    testing::RenderOptions turned;
    turned.rotationDegrees = 33;
    testing::RenderOptions shaded;  // left to the second pass by its gradient
    shaded.moduleSize = 6;
    shaded.quietZone = 3;
    shaded.darkLevel = 20;
    shaded.lightLevel = 120;
    shaded.illuminationGradient = 124;
    const ImageBuffer pictures[] = {
        testing::renderText("FIRST PASS", 16, turned).image,
        testing::renderText("SECOND PASS", 24, shaded).image,
        testing::noisePicture(120, 90, 7),
        testing::makeGreyImage(50, 40, [](int, int) { return 200; }),
    };
    const PixelFormat formats[] = {PixelFormat::Grey, PixelFormat::RGB, PixelFormat::BGR, PixelFormat::RGBA,
                                   PixelFormat::BGRA};
    std::vector<Job> out;
    for (std::size_t i = 0; i < std::size(pictures); ++i) {
        for (std::size_t f = 0; f < std::size(formats); ++f) out.push_back(pictureJob(pictures[i], formats[f], static_cast<int>(f + i) % 3 * 5));
        Job png;
        png.file = true;
        png.bytes = testing::greyImageToPng(pictures[i]);
        out.push_back(png);
        Job bmp;
        bmp.file = true;
        bmp.bytes = testing::greyImageToBmp(pictures[i]);
        out.push_back(bmp);
    }
    Job refused = pictureJob(pictures[3], PixelFormat::RGB, 0);
    refused.view.stride -= 1;
    out.push_back(refused);
    Job truncated;
    truncated.file = true;
    truncated.bytes = testing::greyImageToPng(pictures[0]);
    truncated.bytes.resize(truncated.bytes.size() / 2);
    out.push_back(truncated);
    return out;
}

TEST(Concurrency, ThreadsReadingAtOnceGetTheOneThreadResults) {
    const std::vector<Job> all = jobs();
    std::vector<std::string> expected;
    for (const Job& job : all) expected.push_back(outcomeOf(job));
    // Both passes found their symbol, and the refusals are there.
    EXPECT_NE(expected[0].find("FIRST PASS 16 pass 1"), std::string::npos) << expected[0];
    EXPECT_NE(expected[7].find("SECOND PASS 24 pass 2"), std::string::npos) << expected[7];
    EXPECT_EQ(all.back().file && expected.back().find("load ;") == std::string::npos, true) << expected.back();

    constexpr int kThreads = 4;
    std::vector<std::vector<std::string>> seen(kThreads, std::vector<std::string>(all.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread starts at a different job, so that different pictures run at once.
            for (std::size_t k = 0; k < all.size(); ++k) {
                const std::size_t i = (k + static_cast<std::size_t>(t) * all.size() / kThreads) % all.size();
                seen[t][i] = outcomeOf(all[i]);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(seen[t][i], expected[i]) << "thread " << t << " job " << i;
    }
}

}  // namespace
}  // namespace ternwick
