// libFuzzer target: any byte stream on the switch's port, in chunks that arrive
// shortly or long after each other, so that frames straddle pauses, bytes go
// missing and stray bytes come in. The serial worker's frame step must pair the
// bytes as an independent model of the pairing rule does (bytes two by two in
// arrival order; a byte left alone for longer than the bound is dropped),
// decode each pair as an independent bit-by-bit reading does, and never crash
// or hang.
//   input: byte 0 picks the mode; then chunks, each a header byte (bits 0-2:
//   how many bytes follow; bit 7: the chunk comes 300 ms after the one before,
//   otherwise 20 ms) and its bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "link/serial_worker.h"
#include "tests/link/link_fakes.h"
#include "tests/link/reference_decoder.h"

namespace {

using namespace tovira;
using namespace tovira::testing_fakes;
using std::chrono::milliseconds;

constexpr milliseconds kShortGap{20};  // well within the bound: a frame's bytes split by a pause
constexpr milliseconds kLongGap{300};  // well past it: a lone byte before it has lost its partner
constexpr milliseconds kLoneBound{100};

struct Arrival {
  milliseconds at;
  std::uint8_t byte;
};

std::vector<Arrival> Arrivals(const std::uint8_t* data, std::size_t size) {
  std::vector<Arrival> arrivals;
  milliseconds at(3000);  // after the connect wait
  for (std::size_t i = 0; i < size;) {
    const std::uint8_t header = data[i++];
    for (std::size_t n = header & 0x07u; n > 0 && i < size; --n) arrivals.push_back({at, data[i++]});
    at += (header & 0x80u) != 0 ? kLongGap : kShortGap;
  }
  return arrivals;
}

// The pairing rule, written apart from the worker: bytes pair in arrival order,
// and a byte that waited alone longer than the bound before the next came is gone.
std::vector<std::wstring> ExpectedFrames(int modeIndex, const std::vector<Arrival>& arrivals) {
  std::vector<std::wstring> frames;
  std::deque<std::uint8_t> waiting;
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    const bool firstOfChunk = i == 0 || arrivals[i - 1].at != arrivals[i].at;
    // Alone since the chunk before, whose last byte it was.
    if (firstOfChunk && waiting.size() == 1 && arrivals[i].at - arrivals[i - 1].at > kLoneBound)
      waiting.clear();
    waiting.push_back(arrivals[i].byte);
    while (waiting.size() >= 2) {
      frames.push_back(L"switch:" +
                       std::to_wstring(reference::Decode(modeIndex, waiting[0], waiting[1]).state));
      waiting.erase(waiting.begin(), waiting.begin() + 2);
    }
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int modeIndex = data[0] % 3;
  const std::vector<Arrival> arrivals = Arrivals(data + 1, size - 1);

  FakeClock clock;
  FakeOpener opener{clock};
  RecordingEvents display{&clock};
  LineMemory memory;
  std::atomic<bool> ending{false};
  WorkerFlags flags;
  flags.appEnding = &ending;
  for (const Arrival& arrival : arrivals) opener.script.bytes.push_back({arrival.at, arrival.byte});
  const milliseconds lastAt = arrivals.empty() ? milliseconds(3000) : arrivals.back().at;
  clock.At(lastAt + milliseconds(500), [&] { flags.stop.Raise(); });
  SerialWorker worker({static_cast<TargetMode>(modeIndex + 1), L"COM9", L"SW-1"}, flags, memory, opener,
                      clock, display);
  worker.Run();

  std::vector<std::wstring> decoded;
  for (const std::wstring& event : display.Events()) {
    if (event.rfind(L"switch:", 0) == 0) decoded.push_back(event);
  }
  if (decoded != ExpectedFrames(modeIndex, arrivals)) std::abort();  // lost, added, misaligned or misdecoded
  return 0;
}
