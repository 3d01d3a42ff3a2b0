#include "bluetooth/port_lookup.h"

namespace tovira {
namespace {

wchar_t FoldAscii(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

}  // namespace

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t start = 0; start + part.size() <= text.size(); ++start) {
    std::size_t i = 0;
    while (i < part.size() && FoldAscii(text[start + i]) == FoldAscii(part[i])) ++i;
    if (i == part.size()) return true;
  }
  return false;
}

std::wstring PortNameFromDeviceId(std::wstring_view deviceId) {
  if (deviceId.find(L"COM") == std::wstring_view::npos) return std::wstring(deviceId);
  std::wstring name = L"COM";
  for (wchar_t c : deviceId) {
    if (c >= L'0' && c <= L'9') name.push_back(c);
  }
  return name;
}

std::optional<std::wstring> PortForAddress(const std::vector<SerialPortEntry>& ports,
                                           std::wstring_view address) {
  for (std::size_t i = 0; i < ports.size() && i < kMaxSerialPorts; ++i) {
    // A port without an identifier matches nothing.
    if (!ports[i].pnpDeviceId.empty() && ContainsIgnoringCase(ports[i].pnpDeviceId, address)) {
      return PortNameFromDeviceId(ports[i].deviceId);
    }
  }
  return std::nullopt;
}

}  // namespace tovira
