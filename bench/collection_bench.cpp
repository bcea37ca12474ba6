// The local cost of one fetch cycle and of one finish, without network or disk, against the
// number of entries already in the page. Only the handler is timed: restoring the page for the
// next iteration is not.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench_inputs.h"
#include "collection/collection_state.h"
#include "collection/desktop.h"
#include "collection/fetch_cycle.h"
#include "collection/page_completion.h"
#include "collection/view.h"
#include "core/text.h"
#include "raffle/raffle_request.h"

namespace vq::bench {
namespace {

class FixedReplyClient final : public HttpClient {
 public:
  ByteArray readUrl(const Text&) override { return reply; }
  ByteArray reply{raffleReply(200)};
};

// Keeps a copy of what it is given, as an edit box does.
class CopyingView final : public View {
 public:
  Text getEditBoxText() override { return editBox; }
  void setEditBoxText(const Text& text) override { editBox = text; }
  void setStatusCaption(const Text& text) override { caption = text; }
  Text editBox, caption;
};

// Accepts every save without writing anything.
class DiscardingDesktop final : public Desktop {
 public:
  Text runDirectory() override { return Text::constant("C:\\Tools"); }
  bool writeBytesToFile(const Text&, const ByteArray& bytes) override {
    bytesWritten += bytes.size();
    return true;
  }
  void openWithShell(const Text&) override {}
  long long bytesWritten = 0;
};

template <class Handler>
void timeHandler(benchmark::State& state, const Text& page, Handler handler) {
  FixedReplyClient client;
  CopyingView view;
  DiscardingDesktop desktop;
  useHttpClient(client);
  attachView(&view);
  useDesktop(desktop);
  for (auto _ : state) {
    pageHtml = page;
    view.editBox = page;
    generatedCount = static_cast<std::int32_t>(state.range(0));
    const auto start = std::chrono::steady_clock::now();
    handler();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["page_bytes"] = page.length();
  attachView(nullptr);
  releaseCollectionTexts();
}

void BM_FetchCycle(benchmark::State& state) {
  const Text page = pageOf(static_cast<int>(state.range(0)));
  timeHandler(state, page, [] { onFetchClicked(); });
  if (generatedCount != state.range(0) + 1) state.SkipWithError("no entry was added");
}

void BM_Finish(benchmark::State& state) {
  const Text page = pageOf(static_cast<int>(state.range(0)));
  timeHandler(state, page, [] { onFinishClicked(); });
  if (generatedCount != 0) state.SkipWithError("the page was not saved");
}

// Arguments: entries already in the page.
BENCHMARK(BM_FetchCycle)->Arg(10)->Arg(1000)->Arg(10000)->UseManualTime();
BENCHMARK(BM_Finish)->Arg(10)->Arg(1000)->Arg(10000)->UseManualTime();

}  // namespace
}  // namespace vq::bench
