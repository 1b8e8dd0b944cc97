// Messages that the channel tests and their peer process both know: message i has its
// own type, payload length (0 to 248) and bytes, so a lost, repeated or reordered
// message shows.
#pragma once

#include "foundation/job_channel.h"

inline UINT PeerMessage(int i, BYTE out[kChannelMaxMessage]) {
  ChannelMessage* msg = reinterpret_cast<ChannelMessage*>(out);
  msg->nType = uint16_t(kMsgControllerLine + i % 3);
  msg->nLength = uint16_t((i * 37) % (kChannelMaxPayload + 1));
  for (UINT k = 0; k < msg->nLength; ++k) msg->payload[k] = BYTE(i * 13 + k);
  return msg->nLength + 4u;
}
