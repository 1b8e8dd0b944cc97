// The datagram socket of the UDP link and of the LAN search (Windows): binds, asks the
// platform to post the socket message to an owner window when data arrives, feeds the
// received bytes to the frame reassembly and sends under a lock.
#pragma once

#include "device/links/udp_frame.h"
#include "platform/core.h"

constexpr UINT kWmUdpSocket = 0x373;  // the socket's notification message

// Local interface addresses and their directed broadcasts (iphlpapi's address table).
// TRUE when the address list is not empty.
BOOL ListLocalAddresses(CStringArray& addresses, CStringArray& broadcasts);
// Tests give the interface rows here (address and mask, network order), so that
// broadcasts go to the loopback network only; null restores the real table.
void SetLocalAddressRowsForTests(const LocalAddressRow* rows, int count);

class CUdpSocket : public CUdpFrameBuffer {
 public:
  CUdpSocket() = default;
  ~CUdpSocket() override;
  CUdpSocket(const CUdpSocket&) = delete;
  CUdpSocket& operator=(const CUdpSocket&) = delete;

  // 1 ready, 0 failed, -1 socket ready but the notification could not be requested
  // (the socket is then closed).
  int Open(const char* localAddress, WORD port, HWND notifyWindow);
  void SetPeer(const char* address, WORD port);
  // For the socket message: 1 when it was this socket's.
  int OnSocketNotify(SOCKET socket, LPARAM event);
  // One datagram into the reassembly.
  void ReceiveData();
  int SendTo(const BYTE* bytes, int count, const sockaddr* address, int addressLength);
  int Send(const BYTE* bytes, int count);
  void Close();
  static CString GetErrorText(int code);

  SOCKET GetSocket() const { return m_socket; }
  WORD GetLocalPort() const;
  const sockaddr_in& GetPeer() const { return m_peer; }
  const sockaddr_in& GetSender() const { return m_sender; }

 protected:
  // Whether a datagram from this sender is taken in at all.
  virtual BOOL AcceptSender(const sockaddr_in& sender) const { return TRUE; }

  SOCKET m_socket = INVALID_SOCKET;
  sockaddr_in m_peer = {};            // where Send sends
  HWND m_hSocketWnd = nullptr;        // receives kWmUdpSocket
  CCriticalSection m_socketSendLock;  // serialises sendto (process-local: no server trip)
  sockaddr_in m_sender = {};          // sender of the last datagram received
  CStringArray m_arrLocalAddresses;
  CStringArray m_arrBroadcastAddresses;
  DWORD m_dwForeignDatagrams = 0;  // datagrams refused by AcceptSender
};
