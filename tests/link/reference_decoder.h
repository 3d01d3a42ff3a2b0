#pragma once
// An independent reading of the frame's bit-order tables, by bit number rather
// than by the codec's masks: bit j of the reordered control byte comes from bit
// kSourceBit[mode - 1][j] of the control byte. For the tests and the fuzzer.

namespace tovira::reference {

inline constexpr int kSourceBit[3][8] = {
    {7, 4, 0, 5, 3, 6, 2, 1},
    {3, 0, 7, 5, 1, 6, 4, 2},
    {3, 5, 4, 7, 1, 6, 2, 0},
};

struct Frame {
  int rotation, tag, state;
};

// `modeIndex` is the mode's number less one.
constexpr Frame Decode(int modeIndex, int control, int stateByte) {
  int reordered = 0;
  for (int j = 0; j < 8; ++j) reordered |= ((control >> kSourceBit[modeIndex][j]) & 1) << j;
  int state = stateByte;
  for (int step = 0; step < reordered / 16; ++step) state = (state >> 1) | ((state & 1) << 7);
  return {reordered / 16, reordered % 16, state};
}

}  // namespace tovira::reference
