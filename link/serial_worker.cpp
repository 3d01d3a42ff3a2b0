#include "link/serial_worker.h"

#include "link/frame_codec.h"
#include "link/link_texts.h"

namespace tovira {

SerialWorker::SerialWorker(WorkerSetup setup, WorkerFlags& flags, LineMemory& memory,
                           SerialPortOpener& opener, LinkClock& clock, LinkDisplay& display)
    : setup_(std::move(setup)),
      flags_(flags),
      memory_(memory),
      opener_(opener),
      clock_(clock),
      display_(display) {}

void SerialWorker::Run() {
  for (;;) {
    if (!flags_.ShouldRun()) break;
    // A port that the platform closed by itself counts as lost; otherwise every
    // attempt would fail its line sample and skip its pause.
    if (port_ && !port_->IsOpen()) SwitchLost();
    const bool wasOpen = PortOpen();
    while (flags_.ShouldRun() && !PortOpen()) ConnectAttempt();
    // At shutdown the worker ends here rather than run one more line check.
    if (!flags_.ShouldRun()) break;

    if (!wasOpen) clock_.Sleep(link_timing::kSettlePause);
    const std::optional<LineStates> lines = ShowCOMInv();
    if (!lines || !lines->dsr) {
      SwitchLost();
      continue;
    }
    if (!wasOpen) {
      display_.ShowMsgInv(setup_.portName + std::wstring(link_texts::kConnectedLog));
      display_.ShowBalloon(setup_.deviceName + std::wstring(link_texts::kConnected));
    }
    std::wstring failureText;
    if (FrameStep(failureText) == FrameOutcome::Failed) {
      display_.ShowMsgInv(std::wstring(link_texts::kCannotRead) + failureText);
      break;
    }
  }
  CloseCOM();  // the end step: every way out passes here
}

void SerialWorker::SwitchLost() {
  display_.ShowBalloon(setup_.deviceName + std::wstring(link_texts::kDisconnected));
  CloseCOM();
}

void SerialWorker::ConnectAttempt() {
  if (ShowCOMInv()) {
    clock_.Sleep(link_timing::kAttemptPause);
    display_.ShowBalloon(setup_.deviceName + std::wstring(link_texts::kConnecting));
    display_.ShowMsgInv(setup_.portName + std::wstring(link_texts::kConnectingLog));
    OpenCOM();
    deadline_ = clock_.Now() + link_timing::kConnectWait;
  }
  waiting_ = true;
}

bool SerialWorker::OpenCOM() {
  OpenResult opened = opener_.Open(setup_.portName);
  if (opened.status == OpenStatus::NameRefused) {
    display_.ShowMsgInv(std::wstring(link_texts::kNoSuchPort));
    return false;
  }
  if (opened.status != OpenStatus::Opened || !opened.port) {
    ShowCOMInv();
    const std::wstring text = setup_.portName + std::wstring(link_texts::kCannotOpen);
    display_.ShowBalloon(text);
    display_.ShowMsgInv(text);
    return false;
  }
  port_ = std::move(opened.port);
  // An open that blocked past the stop (another device chosen, or the program
  // ending) is let go by the end step unseen: the target must not see a link to
  // a switch the user has left.
  if (flags_.ShouldRun()) display_.ShowEnableInv(true);
  return true;
}

void SerialWorker::CloseCOM() {
  if (port_) {
    if (port_->IsOpen()) port_->Close();
    port_.reset();
  }
  ShowCOMInv();
  display_.ShowEnableInv(false);
}

std::optional<LineStates> SerialWorker::ShowCOMInv() {
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
  if (now != memory_.last) display_.ShowCOMInv(now);
  memory_.last = now;
  return now;
}

FrameOutcome SerialWorker::FrameStep(std::wstring& failureText) {
  const std::optional<std::size_t> waiting = port_->BytesToRead(failureText);
  if (!waiting) return FrameOutcome::Failed;
  if (*waiting < 2) {
#ifdef TOVIRA_PLAIN_IDLE_PAUSE
    clock_.Sleep(link_timing::kIdlePause);  // the plain pause, kept for the latency comparison
#else
    port_->WaitForBytes(2, link_timing::kIdlePause);
#endif
    return FrameOutcome::Paused;
  }
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
      clock_.Sleep(link_timing::kIdlePause);
      return FrameOutcome::Paused;
    }
    waiting_ = false;
  }
  const DecodedFrame frame = DecodeFrame(setup_.mode, bytes[0].byte, bytes[1].byte);
  display_.ShowSwitchInv(frame.state);
  display_.ShowMsgInv(FrameLogText(frame.state, frame.tag));
  return FrameOutcome::Decoded;
}

}  // namespace tovira
