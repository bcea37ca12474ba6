// extractBetween against two std::string_view::find calls doing the same two searches on the same
// bytes and returning the value as a Text too. tools/bench.sh prints the ratio of each pair.

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "bench_inputs.h"
#include "core/text.h"
#include "raffle/extract_between.h"

namespace vq::bench {
namespace {

// The code's markers, as the fetch cycle passes them.
constinit const Text codeStart = Text::constant("activity\":\"");
constinit const Text codeEnd = Text::constant("\"}");

const Text& inputOf(const benchmark::State& state) {
  static const Text reply(raffleReply(200));
  static const Text large(largeTextEndingInAReply(1 << 20));
  return state.range(0) == 0 ? reply : large;
}

void labelInput(benchmark::State& state, const Text& source) {
  state.SetLabel(state.range(0) == 0 ? "200-byte reply" : "1 MiB text");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * source.length());
}

void BM_ExtractBetween(benchmark::State& state) {
  const Text& source = inputOf(state);
  for (auto _ : state) {
    Text value = extractBetween(source, codeStart, codeEnd, 0, false);
    benchmark::DoNotOptimize(value);
  }
  if (extractBetween(source, codeStart, codeEnd, 0, false).view() != "QX8F2K") {
    state.SkipWithError("the code was not found");
  }
  labelInput(state, source);
}

void BM_StringViewFind(benchmark::State& state) {
  const Text& source = inputOf(state);
  const std::string_view bytes = source.view();
  for (auto _ : state) {
    Text value;
    const std::size_t start = bytes.find(codeStart.view());
    if (start != std::string_view::npos) {
      const std::size_t valueStart = start + codeStart.view().size();
      const std::size_t end = bytes.find(codeEnd.view(), valueStart);
      if (end != std::string_view::npos) value = Text(bytes.substr(valueStart, end - valueStart));
    }
    benchmark::DoNotOptimize(value);
  }
  labelInput(state, source);
}

// Argument 0 is the 200-byte reply, 1 the 1 MiB text.
BENCHMARK(BM_ExtractBetween)->Arg(0)->Arg(1);
BENCHMARK(BM_StringViewFind)->Arg(0)->Arg(1);

}  // namespace
}  // namespace vq::bench
