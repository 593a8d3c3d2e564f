// The cross-fade of a skinned button: the cost of blending one frame, and
// how long a whole fade takes on this machine with the real clock and the
// button pictures the build made (it should be about 200 ms anywhere).

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "app/buttons/button_panel.h"
#include "app/skin/screen_layout.h"
#include "platform/paths.h"

namespace tx {
namespace {

// A host on the real clock whose timers fire when the bench pumps them.
class PumpedHost : public ButtonHost {
 public:
  void Invalidate(const ButtonRect&) override {}
  void StartTimer(ButtonGroup& group, int id, int intervalMs) override {
    m_timers[{&group, id}] = {intervalMs, NowMs() + intervalMs};
  }
  void StopTimer(ButtonGroup& group, int id) override { m_timers.erase({&group, id}); }
  std::int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SetMouseCapture(bool) override {}
  void ShowToolTip(const std::string&, int, int) override {}
  void SetStatusText(const std::string&) override {}
  void PlayClickSound() override {}
  void Beep() override {}
  void ShowMessage(int) override {}
  std::string Text(int) override { return {}; }

  bool Running(ButtonGroup& group, int id) const { return m_timers.count({&group, id}) != 0; }
  // Waits for the earliest timer and fires it, as an event loop would.
  void PumpOne() {
    auto next = m_timers.begin();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
      if (it->second.second < next->second.second) next = it;
    }
    if (next == m_timers.end()) return;
    const std::int64_t wait = next->second.second - NowMs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    next->second.second = NowMs() + next->second.first;
    const auto [group, id] = next->first;
    group->OnTimer(id);
  }

 private:
  std::map<std::pair<ButtonGroup*, int>, std::pair<int, std::int64_t>> m_timers;
};

void BM_FadeFrameOfOneButton(benchmark::State& state) {
  constexpr std::size_t kBytes = 48 * 48 * 3;
  std::vector<std::uint8_t> oldBytes(kBytes, 30), newBytes(kBytes, 220), out(kBytes);
  int frame = 0;
  for (auto _ : state) {
    const FadeTables tables = MakeFadeTables(frame % 25, 25);
    BlendBytes(tables, newBytes.data(), oldBytes.data(), out.data(), kBytes);
    benchmark::DoNotOptimize(out.data());
    ++frame;
  }
}
BENCHMARK(BM_FadeFrameOfOneButton);

// From the pointer reaching a home-screen button to the end of its fade.
void BM_WholeCrossFade(benchmark::State& state) {
  PumpedHost host;
  std::vector<std::vector<ButtonRecord>> screens{MakeRecords(MainScreenLayout(0))};
  ButtonPanel panel(host, ProgramDir() / "ui" / "button.800", std::move(screens), {});
  panel.SetScreen(0);
  ButtonGroup* group = panel.main();
  if (group == nullptr || !group->valid()) {
    state.SkipWithError("the build's skins are missing (run from build/bin)");
    return;
  }
  ButtonRect crop;
  for (const ButtonRecord& record : group->records()) {
    if (record.command == "Crop") crop = record.rect;
  }
  const int x = crop.left + crop.Width() / 2;
  const int y = crop.top + crop.Height() / 2;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    group->OnMouse(MouseMessage::Move, x, y);
    while (host.Running(*group, kTimerFade))
      host.PumpOne();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    // Back to normal without a fade, ready for the next round.
    group->OnMouse(MouseMessage::Leave, -1, -1);
    while (host.Running(*group, kTimerFade))
      host.PumpOne();
  }
}
BENCHMARK(BM_WholeCrossFade)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tx
