#pragma once
// The navigator's press and release messages that a sequence of switch frames
// calls for in mode 2: the one account of them that the end-to-end scenarios and
// the burst check hold Tovira's messages against.

#include <string>
#include <vector>

namespace tovira::tools {

class ExpectedNavigatorMessages {
 public:
  // A frame with this state: a press naming the lowest button down, or, for a
  // frame without one (battery and spare bits aside), a release naming the
  // lowest button of the last press (button 0 before any press).
  void Frame(int state);
  // The link is lost: a release only when a button is down, so the navigator
  // keeps no button that nobody holds.
  void LinkLost();

  // In order: "press 2", "release 2" …
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  void Release();

  std::vector<std::string> messages_;
  int lastPress_ = -1;
  bool held_ = false;
};

// The navigator messages of the virtual switch's `burst N`, as ExpectedNavigatorMessages
// counts them for its frames.
std::vector<std::string> ExpectedBurstMessages(int frames);

}  // namespace tovira::tools
