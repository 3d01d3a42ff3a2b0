#pragma once
/* What the C translation unit read from the integrator's header. */
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

struct RelayHeaderValues {
  const char* blockNameVelmora;
  const char* blockNameQuorandel;
  int blockSize, offsetConnected, offsetState, filler, buttons, button5, batteryLow;
  const char* navigatorClass;
  unsigned pressMessage, releaseMessage;
  const char* interfaceVelmora;
  const char* interfaceQuorandel;
  const wchar_t* mainWindowClass;
};

void ReadRelayHeaderFromC(struct RelayHeaderValues* values);

#ifdef __cplusplus
}
#endif
