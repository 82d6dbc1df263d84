// NV image conversion against one plain read pass over the same decoded
// pixels, in one run. The pass is the least any conversion must do (touch
// every pixel once), so conversion / pass is the figure to watch; the goal
// is at most 3. Decoding the file is measured on its own.
//
//   nv_convert_bench [--benchmark_min_time=0.2]
#include "corvane/nv/NvConvert.h"
#include "platform/bitmap.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kWidth = 832;
constexpr std::uint32_t kHeight = 2400;

// A 24-bit bottom-up file with a busy picture (gradients and lines), so the
// threshold takes both branches.
std::vector<std::uint8_t> makeFile()
{
    const std::uint32_t stride = (kWidth * 3 + 3) & ~3u;
    std::vector<std::uint8_t> file(54 + std::size_t(stride) * kHeight, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = std::uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, std::uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kWidth);
    put32(22, kHeight);
    file[26] = 1;
    file[28] = 24;
    for (std::uint32_t y = 0; y < kHeight; ++y)
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            std::uint8_t* p = file.data() + 54 + std::size_t(y) * stride + x * 3;
            p[0] = std::uint8_t((x * 7 + y) & 0xFF);
            p[1] = std::uint8_t((x + y * 3) & 0xFF);
            p[2] = (x % 97 == 0) ? 0 : std::uint8_t(200 + (x ^ y) % 56);
        }
    return file;
}

const std::vector<std::uint8_t>& bmpFile()
{
    static const std::vector<std::uint8_t> file = makeFile();
    return file;
}

const platform::DecodedBitmap& decoded()
{
    static const platform::DecodedBitmap picture = [] {
        platform::DecodedBitmap p;
        if (!platform::loadBmp(bmpFile(), p).ok()) {
            std::fprintf(stderr, "nv_convert_bench: the bitmap decoder refused the test picture\n");
            std::exit(1);
        }
        return p;
    }();
    return picture;
}

// The plain pass: every pixel read once, folded so it cannot be dropped.
class ReadPass final : public platform::BitmapSink {
public:
    bool begin(std::uint32_t w, std::uint32_t) override
    {
        width_ = w;
        return true;
    }
    void row(std::uint32_t, const platform::Rgb* pixels) override
    {
        for (std::uint32_t x = 0; x < width_; ++x)
            fold_ += pixels[x];
    }
    std::uint32_t fold_ = 0;

private:
    std::uint32_t width_ = 0;
};

void BM_ReadPass(benchmark::State& state)
{
    const auto& picture = decoded();
    for (auto _ : state) {
        ReadPass pass;
        platform::replayBitmap(picture, pass);
        benchmark::DoNotOptimize(pass.fold_);
    }
}

template <std::uint32_t Dots>
void BM_Convert(benchmark::State& state)
{
    const auto& picture = decoded();
    for (auto _ : state) {
        corvane::nv::RasterBuilder builder(Dots, 40);
        platform::replayBitmap(picture, builder);
        corvane::nv::Raster raster = builder.finish();
        benchmark::DoNotOptimize(raster.bytes.data());
    }
}

void BM_Decode(benchmark::State& state)
{
    const auto& file = bmpFile();
    for (auto _ : state) {
        ReadPass pass;
        platform::decodeBmp(file, pass);
        benchmark::DoNotOptimize(pass.fold_);
    }
}

} // namespace

// Keeps each run's CPU time (steadier than wall time on a shared machine)
// so the ratios come from this run alone.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                timePerIteration[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> timePerIteration;
};

BENCHMARK(BM_ReadPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert<832>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert<384>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.timePerIteration;
    const auto pass = t.find("BM_ReadPass");
    if (pass == t.end() || pass->second <= 0)
        return 0;
    for (const char* name : {"BM_Convert<832>", "BM_Convert<384>", "BM_Decode"})
        if (const auto it = t.find(name); it != t.end())
            std::printf("ratio %s / BM_ReadPass: %.2f\n", name, it->second / pass->second);
    benchmark::Shutdown();
    return 0;
}
