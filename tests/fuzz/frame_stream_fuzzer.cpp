// libFuzzer target: any byte stream on the switch's port. The serial worker's
// frame step must pair the bytes two by two, decode each pair as an independent
// bit-by-bit reading does, and never crash or hang.
//   input: byte 0 picks the mode; byte 1 splits the stream into two arrivals
//   (so that frames also straddle a pause); the rest is what the port delivers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int modeIndex = data[0] % 3;
  const std::size_t split = data[1];
  const std::uint8_t* stream = data + 2;
  const std::size_t length = size - 2;

  FakeClock clock;
  FakeOpener opener{clock};
  RecordingEvents display{&clock};
  LineMemory memory;
  std::atomic<bool> ending{false};
  WorkerFlags flags;
  flags.appEnding = &ending;
  // After the connect wait; the second part arrives 50 ms after the first.
  for (std::size_t i = 0; i < length; ++i) {
    opener.script.bytes.push_back({milliseconds(i < split ? 3000 : 3050), stream[i]});
  }
  const milliseconds stopAt(3100 + 20 * static_cast<long long>(length));
  clock.At(stopAt, [&] { flags.stop.Raise(); });
  SerialWorker worker({static_cast<TargetMode>(modeIndex + 1), L"COM9", L"SW-1"}, flags, memory, opener,
                      clock, display);
  worker.Run();

  std::vector<std::wstring> expected;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    expected.push_back(L"switch:" +
                       std::to_wstring(reference::Decode(modeIndex, stream[i], stream[i + 1]).state));
  }
  std::vector<std::wstring> decoded;
  for (const std::wstring& event : display.Events()) {
    if (event.rfind(L"switch:", 0) == 0) decoded.push_back(event);
  }
  if (decoded != expected) std::abort();  // a frame lost, added, misaligned or misdecoded
  return 0;
}
