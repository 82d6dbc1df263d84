// NV image conversion against one plain read pass over the same decoded
// pixels, in one run. The pass is the least any conversion must do (touch
// every pixel once), so conversion / pass is the figure to watch; the goal
// is at most 3. Decoding the file is measured on its own.
//
// The preview: a slider move relightens the cached stretched picture, a
// new selection reads, decodes and stretches the file; reload / slider says
// what the cache saves on every slider move.
//
//   nv_convert_bench [--benchmark_min_time=0.2]
#include "corvane/nv/NvConvert.h"
#include "corvane/nv/NvPreview.h"
#include "platform/bitmap.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

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

// The test picture as a file, for the preview's reload (which reads it).
class PreviewFile {
public:
    PreviewFile()
        : path_((std::filesystem::temp_directory_path()
                 / ("nv_convert_bench_" + std::to_string(::getpid()) + ".bmp")).string())
    {
        const auto& file = bmpFile();
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    ~PreviewFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const PreviewFile& previewFile()
{
    static const PreviewFile file;
    return file;
}

constexpr std::uint32_t kPreviewBox = 200;

void BM_PreviewReload(benchmark::State& state)
{
    const std::string& path = previewFile().path();
    for (auto _ : state) {
        corvane::nv::PreviewPicture picture;
        std::string reason;
        if (!picture.Load(path, kPreviewBox, &reason)) {
            state.SkipWithError(reason.c_str());
            break;
        }
        benchmark::DoNotOptimize(picture.pixels().data());
    }
}

void BM_PreviewSlider(benchmark::State& state)
{
    corvane::nv::PreviewPicture picture;
    std::string reason;
    if (!picture.Load(previewFile().path(), kPreviewBox, &reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    int brightness = 0;
    for (auto _ : state) {
        brightness = (brightness + 7) % 101;
        std::vector<platform::Rgb> shown = picture.Lightened(brightness);
        benchmark::DoNotOptimize(shown.data());
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
BENCHMARK(BM_PreviewReload)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewSlider)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.timePerIteration;
    if (const auto pass = t.find("BM_ReadPass"); pass != t.end() && pass->second > 0)
        for (const char* name : {"BM_Convert<832>", "BM_Convert<384>", "BM_Decode"})
            if (const auto it = t.find(name); it != t.end())
                std::printf("ratio %s / BM_ReadPass: %.2f\n", name, it->second / pass->second);
    const auto reload = t.find("BM_PreviewReload");
    const auto slider = t.find("BM_PreviewSlider");
    if (reload != t.end() && slider != t.end() && slider->second > 0)
        std::printf("ratio BM_PreviewReload / BM_PreviewSlider: %.1f\n", reload->second / slider->second);
    benchmark::Shutdown();
    return 0;
}
