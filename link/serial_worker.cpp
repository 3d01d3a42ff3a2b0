#include "link/serial_worker.h"

#include <utility>

#include "base/texts_ja.h"
#include "link/frame_codec.h"

namespace tovira {

SerialWorker::SerialWorker(WorkerSetup setup, WorkerFlags& flags, LineMemory& memory,
                           SerialPortOpener& opener, LinkClock& clock, LinkEvents& events)
    : setup_(std::move(setup)),
      flags_(flags),
      memory_(memory),
      opener_(opener),
      clock_(clock),
      events_(events) {}

void SerialWorker::Run() {
  while (flags_.ShouldRun()) {
    try {
      RunCycle();
    } catch (...) {
      GiveUpPortAfterFailedReport();
    }
  }
  ClosePort();  // the end step: every way out passes here
}

void SerialWorker::RunCycle() {
  // A port that the platform closed by itself counts as lost; otherwise every
  // attempt would fail its line sample and skip its pause.
  if (port_ && !port_->IsOpen()) SwitchLost();
  const bool wasOpen = PortOpen();
  while (flags_.ShouldRun() && !PortOpen()) ConnectAttempt();
  // Stopped or ending: straight to the end step, without another line check.
  if (!flags_.ShouldRun()) return;
  if (!wasOpen) clock_.Pause(link_timing::kSettlePause, flags_.stop);
  if (!flags_.ShouldRun()) return;

  const std::optional<LineStates> lines = SampleLines();
  if (!lines || !lines->dsr) {
    SwitchLost();
    return;
  }
  if (!wasOpen) {
    events_.Log(setup_.portName + std::wstring(texts::kConnectedLog));
    events_.Balloon(setup_.deviceName + std::wstring(texts::kConnected));
    outage_ = {};  // the next loss starts a new outage
  }
  std::wstring failureText;
  if (FrameStep(failureText) == FrameOutcome::Failed) {
    // A port torn down under its handle (the switch's Bluetooth link gone,
    // the PC resumed) is a lost switch like any other: connect again.
    events_.Log(std::wstring(texts::kCannotRead) + failureText);
    SwitchLost();
  }
}

void SerialWorker::GiveUpPortAfterFailedReport() {
  // Whoever failed to take a report (out of memory, no thread to be had), the
  // link must not end: the port goes, its close reaches the target if it can,
  // and after the attempt pause the worker connects again.
  if (port_) {
    port_->Close();
    port_.reset();
  }
  loneSince_.reset();
  try {
    events_.PortOpen(false);
  } catch (...) {
    // The relay goes first in that report; what failed after it is the window's.
  }
  clock_.Pause(link_timing::kAttemptPause, flags_.stop);
}

void SerialWorker::SwitchLost() {
  if (!std::exchange(outage_.lossShown, true)) {
    events_.WarningBalloon(setup_.deviceName + std::wstring(texts::kDisconnected));
  }
  ClosePort();
}

void SerialWorker::ConnectAttempt() {
  if (SampleLines()) {
    // A serial port that just arrived may be the switch's: no need to wait.
    clock_.PauseUntilNudged(link_timing::kAttemptPause, flags_.stop);
    if (flags_.ShouldRun()) {
      if (!std::exchange(outage_.connectingShown, true)) {
        events_.Balloon(setup_.deviceName + std::wstring(texts::kConnecting));
      }
      events_.Log(setup_.portName + std::wstring(texts::kConnectingLog));
      OpenPort();
    }
  }
  waiting_ = true;
}

bool SerialWorker::OpenPort() {
  OpenResult opened = opener_.Open(setup_.portName);
  if (opened.status == OpenStatus::NameRefused) {
    events_.Log(std::wstring(texts::kNoSuchPort));
    return false;
  }
  if (opened.status != OpenStatus::Opened || !opened.port) {
    SampleLines();
    const std::wstring text = setup_.portName + std::wstring(texts::kCannotOpen);
    if (!std::exchange(outage_.cannotOpenShown, true)) events_.Balloon(text);
    events_.Log(text);
    events_.OpenFailed();
    return false;
  }
  port_ = std::move(opened.port);
  // The connect wait counts from the open itself, before anyone hears of it: a
  // slow report (a busy PC) must not stretch it past frames sent after the
  // target saw the link come up.
  deadline_ = clock_.Now() + link_timing::kConnectWait;
  // An open that blocked past the stop (another device chosen, or the program
  // ending) is let go by the end step unseen: the target must not see a link to
  // a switch the user has left.
  if (flags_.ShouldRun()) events_.PortOpen(true);
  return true;
}

void SerialWorker::ClosePort() {
  loneSince_.reset();
  if (port_) {
    if (port_->IsOpen() && !port_->Close()) events_.Log(std::wstring(texts::kPortAbandoned));
    port_.reset();
  }
  SampleLines();
  events_.PortOpen(false);
}

std::optional<LineStates> SerialWorker::SampleLines() {
  LineStates now;
  if (port_) {
    now.open = port_->IsOpen();
    const std::optional<ModemLines> lines = port_->ReadModemLines();
    if (!lines) return std::nullopt;
    now.cd = lines->cd;
    now.dsr = lines->dsr;
    now.cts = lines->cts;
    // DTR and RTS are the program's own outputs and it never raises them.
  }
  if (now != memory_.last) events_.Lines(now);
  memory_.last = now;
  return now;
}

FrameOutcome SerialWorker::FrameStep(std::wstring& failureText) {
  const std::optional<std::size_t> waiting = port_->BytesToRead(failureText);
  if (!waiting) return FrameOutcome::Failed;
  return PairBytes(*waiting, failureText);
}

FrameOutcome SerialWorker::PairBytes(std::size_t waiting, std::wstring& failureText) {
  for (PortNotice notice = port_->TakeNotice(); notice != PortNotice::None; notice = port_->TakeNotice()) {
    events_.Log(std::wstring(notice == PortNotice::PlainReads ? texts::kPlainReads : texts::kPolledLines));
  }
  if (port_->TakeReceiveError()) {
    // Some byte was lost or spoilt: an odd count holds a half frame, and which
    // byte it is cannot be told, so none of them is trusted.
    const bool odd = waiting % 2 == 1;
    events_.Log(std::wstring(odd ? texts::kReceiveErrorDropped : texts::kReceiveError));
    if (odd) return DropBytes(waiting, failureText) ? FrameOutcome::Paused : FrameOutcome::Failed;
  }
  if (waiting < 2) return AwaitFrame(waiting, failureText);
  loneSince_.reset();
  return ReadFrame(failureText);
}

FrameOutcome SerialWorker::AwaitFrame(std::size_t waiting, std::wstring& failureText) {
  if (waiting == 0) {
    loneSince_.reset();
  } else if (!loneSince_) {
    loneSince_ = clock_.Now();
  } else if (clock_.Now() - *loneSince_ >= link_timing::kLoneByteBound) {
    events_.Log(std::wstring(texts::kLoneByteDropped));
    return DropBytes(1, failureText) ? FrameOutcome::Paused : FrameOutcome::Failed;
  }
#ifdef TOVIRA_PLAIN_IDLE_PAUSE
  clock_.Pause(link_timing::kLineCheckPeriod, flags_.stop);  // the plain pause, for the latency comparison
#else
  // One byte more than is there: a lone byte must be seen, not held in a read
  // that waits for its partner.
  std::chrono::milliseconds limit = link_timing::kLongestFrameWait;
  if (loneSince_) {
    limit = std::chrono::ceil<std::chrono::milliseconds>(*loneSince_ + link_timing::kLoneByteBound -
                                                         clock_.Now());
  }
  const std::size_t inHand = port_->WaitForBytes(waiting + 1, limit, flags_.stop);
  if (!flags_.ShouldRun()) return FrameOutcome::Paused;
  // A frame that the wait brought in is relayed now: the line check comes after
  // it, not between the switch and the target. An odd count waits for the
  // driver's error flags.
  if (inHand >= 2 && inHand % 2 == 0) return PairBytes(inHand, failureText);
  // A frame's first byte: the driver's count and error flags say at once
  // whether its partner is already queued (then it is read as part of the
  // frame) or still to come (then the lone byte's bound starts).
  if (waiting == 0 && inHand == 1) return FrameStep(failureText);
#endif
  return FrameOutcome::Paused;
}

bool SerialWorker::DropBytes(std::size_t count, std::wstring& failureText) {
  loneSince_.reset();
  for (std::size_t i = 0; i < count; ++i) {
    const ReadResult byte = port_->ReadByte();
    if (byte.status == ReadStatus::Failed) {
      failureText = byte.failureText;
      return false;
    }
  }
  return true;
}

FrameOutcome SerialWorker::ReadFrame(std::wstring& failureText) {
  ReadResult bytes[2];
  for (ReadResult& byte : bytes) {
    byte = port_->ReadByte();
    if (byte.status == ReadStatus::TimedOut) return FrameOutcome::TimedOut;
    if (byte.status == ReadStatus::Failed) {
      failureText = byte.failureText;
      return FrameOutcome::Failed;
    }
  }
  // The connect wait drops frames that queued while the link settled.
  if (waiting_) {
    if (clock_.Now() < deadline_) {
      clock_.Pause(link_timing::kLineCheckPeriod, flags_.stop);
      return FrameOutcome::Paused;
    }
    waiting_ = false;
  }
  const DecodedFrame frame = DecodeFrame(setup_.mode, bytes[0].byte, bytes[1].byte);
  events_.Frame(frame.state);
  if (events_.Logging()) events_.Log(FrameLogText(frame.state, frame.tag));
  return FrameOutcome::Decoded;
}

}  // namespace tovira
