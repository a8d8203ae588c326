// One frame of each named file, as the module's worker makes it and as the bare decoders do:
//   Compose/NAME         the worker's step: ApplyDisposal, then ComposeFrame (decode through the
//                        imaging component, convert, draw onto the canvas), frames in playing
//                        order and round again; one iteration is one frame.
//   GiflibDecode/NAME    giflib decoding every frame of a GIF from memory into palette indices
//                        with DGifGetLine, nothing else: no colours, no canvas, no disposal.
//                        One iteration is the whole file; the counter "frames" says how many.
//   WebPAnimDecode/NAME  libwebp's animation decoder alone (WebPAnimDecoderGetNext, which
//                        composes onto its own canvas), with the options the stand-in uses;
//                        one iteration is one frame.
// tools/bench-compare divides by "frames" to set them side by side per frame.
//
// Run: side_by_side_frame [--benchmark_...] FILE...
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>
#include <string>

#include "bench/file_arguments.h"
#include "bench/giflib_decode.h"
#include "tests/support/viewer_harness.h"

namespace {

bool IsWebP(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "WEBP", 4) == 0;
}

void Compose(benchmark::State& state, const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = FileBytes(file);
    ViewerHarness harness(8, 8);
    if (!harness.Open(bytes)) return state.SkipWithError("the module did not open the file");
    const UINT frames = harness.viewer()->frameCount;
    // One round first: the first frame of a play is composed without an undo before it, and
    // any frame that fails to compose would end the worker, so it ends the measure too.
    for (UINT i = 0; i < frames; ++i) {
        if (!harness.Step(i)) {
            return state.SkipWithError(("frame " + std::to_string(i) + " failed").c_str());
        }
    }
    UINT frame = 0;
    for (auto _ : state) {
        if (!harness.Step(frame)) return state.SkipWithError("a frame failed");
        frame = frame + 1 == frames ? 0 : frame + 1;
    }
    state.counters["frames"] = 1;
    state.counters["file_frames"] = frames;
    state.counters["width"] = harness.viewer()->width;
    state.counters["height"] = harness.viewer()->height;
}

// Every frame's indices; the number decoded, or -1 with giflib's error code in `error`.
int DecodeAllFrames(const std::vector<uint8_t>& bytes, std::vector<GifByteType>& line, int* error) {
    GifMemoryReader reader{&bytes};
    return DecodeAllFrames(OpenGif(reader, error), line, error);
}

void GiflibDecode(benchmark::State& state, const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = FileBytes(file);
    std::vector<GifByteType> line(1024);
    int decoded = 0;
    for (auto _ : state) {
        int error = 0;
        decoded = DecodeAllFrames(bytes, line, &error);
        if (decoded < 0) {
            const char* reason = GifErrorString(error);
            return state.SkipWithError(("giflib: " + std::string(reason ? reason : "?")).c_str());
        }
        if (decoded == 0) return state.SkipWithError("giflib found no frame");
    }
    state.counters["frames"] = decoded;
}

struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

void WebPAnimDecode(benchmark::State& state, const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = FileBytes(file);
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return state.SkipWithError("libwebp options");
    options.color_mode = MODE_RGBA;  // as the stand-in decodes
    options.use_threads = 0;
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
        WebPAnimDecoderNew(&data, &options));
    if (!decoder) return state.SkipWithError("libwebp refused the file");
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder.get(), &info);
    for (auto _ : state) {
        if (!WebPAnimDecoderHasMoreFrames(decoder.get())) WebPAnimDecoderReset(decoder.get());
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
            return state.SkipWithError("a frame failed");
        }
        benchmark::DoNotOptimize(canvas);
    }
    state.counters["frames"] = 1;
    state.counters["file_frames"] = info.frame_count;
}

}  // namespace

int main(int argc, char** argv) {
    return RunForEachFile(argc, argv, [](const std::filesystem::path& file) {
        RegisterForFile("Compose", Compose, file, 0.1);
        if (IsWebP(FileBytes(file))) {
            RegisterForFile("WebPAnimDecode", WebPAnimDecode, file, 0.1);
        } else {
            RegisterForFile("GiflibDecode", GiflibDecode, file, 0.1);
        }
    });
}
