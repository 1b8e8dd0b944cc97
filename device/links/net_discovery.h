// The operator program's background search for controllers (Windows): a socket of its
// own that broadcasts Enum on every tick of the main window's discovery timer and
// feeds the answers into g_NetDevices. The main window owns one and forwards its timer
// and the socket message to it.
#pragma once

#include "device/links/net_devices.h"
#include "device/links/udp_socket.h"

class CNetDiscovery {
 public:
  explicit CNetDiscovery(WORD port = kUdpDiscoveryPort);
  ~CNetDiscovery();
  CNetDiscovery(const CNetDiscovery&) = delete;
  CNetDiscovery& operator=(const CNetDiscovery&) = delete;

  // Creates the socket on first use (notifications to window), drops expired entries
  // and broadcasts one Enum to every local broadcast address.
  void SendDiscoveryProbe(HWND window);
  // For kWmUdpSocket: reads every waiting answer. Returns 0.
  int OnSocketNotify(SOCKET socket, LPARAM event);
  // One datagram; FALSE when there is no socket or nothing more to read.
  BOOL ReadDiscoveryReply();
  // Closes the socket (it is created again by the next probe).
  void Close();
  SOCKET GetSocket() const { return m_socket; }

 private:
  SOCKET m_socket = INVALID_SOCKET;  // until the first probe
  sockaddr_in m_bind = {};           // any interface, port 0
  CStringArray m_arrLocalAddresses;
  CStringArray m_arrBroadcastAddresses;  // of the socket's creation
  CMutex m_mutex;                        // held for one probe
  WORD m_nPort;                          // where the controllers listen
};
