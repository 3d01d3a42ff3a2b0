/* The integrator's header in a C translation unit: its values as C sees them. */
#include "tovira_relay.h"

#include <string.h>

#include "tests/include/relay_header_c.h"

void ReadRelayHeaderFromC(struct RelayHeaderValues* values) {
  memset(values, 0, sizeof(*values));
  values->blockNameVelmora = TOVIRA_BLOCK_NAME_VELMORA;
  values->blockNameQuorandel = TOVIRA_BLOCK_NAME_QUORANDEL;
  values->blockSize = TOVIRA_BLOCK_SIZE;
  values->offsetConnected = TOVIRA_OFFSET_CONNECTED;
  values->offsetState = TOVIRA_OFFSET_STATE;
  values->filler = TOVIRA_FILLER;
  values->buttons = TOVIRA_STATE_BUTTONS;
  values->button5 = TOVIRA_STATE_BUTTON(4);
  values->batteryLow = TOVIRA_STATE_BATTERY_LOW;
  values->navigatorClass = TOVIRA_NAVIGATOR_CLASS;
  values->pressMessage = TOVIRA_MSG_PRESS;
  values->releaseMessage = TOVIRA_MSG_RELEASE;
  values->interfaceVelmora = TOVIRA_INTERFACE_PROCESS_VELMORA;
  values->interfaceQuorandel = TOVIRA_INTERFACE_PROCESS_QUORANDEL;
  values->mainWindowClass = TOVIRA_MAIN_WINDOW_CLASS_W;
}
