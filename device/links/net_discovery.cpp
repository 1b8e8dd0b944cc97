#include "device/links/net_discovery.h"

#include <cstring>

CNetDiscovery::CNetDiscovery(WORD port) : m_nPort(port) {
  m_bind.sin_family = AF_INET;
  m_bind.sin_port = 0;
  m_bind.sin_addr.s_addr = htonl(INADDR_ANY);
}

CNetDiscovery::~CNetDiscovery() { Close(); }

void CNetDiscovery::Close() {
  if (m_socket != INVALID_SOCKET) closesocket(m_socket);
  m_socket = INVALID_SOCKET;
}

void CNetDiscovery::SendDiscoveryProbe(HWND window) {
  CSingleLock lock(&m_mutex, TRUE);
  if (m_socket == INVALID_SOCKET) {
    ListLocalAddresses(m_arrLocalAddresses, m_arrBroadcastAddresses);
    m_socket = socket(AF_INET, SOCK_DGRAM, 0);
    if (m_socket == INVALID_SOCKET) return;
    int sendBuffer = 3000;
    BOOL broadcast = TRUE;
    if (bind(m_socket, (sockaddr*)&m_bind, sizeof(m_bind)) != 0 ||
        setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, (const char*)&sendBuffer, sizeof(sendBuffer)) != 0 ||
        setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, (const char*)&broadcast, sizeof(broadcast)) != 0) {
      Close();
      return;
    }
    WSAAsyncSelect(m_socket, window, kWmUdpSocket, FD_READ);
  }
  UpdateNetDevices(nullptr, 0);
  BYTE frame[kUdpHeaderSize];
  int n = BuildUdpFrame(frame, sizeof(frame), kUdpEnum, kUdpFlagPc, 0, nullptr, 0);
  for (const CString& address : m_arrBroadcastAddresses) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_nPort);
    to.sin_addr.s_addr = inet_addr(address);
    sendto(m_socket, (const char*)frame, n, 0, (sockaddr*)&to, sizeof(to));
  }
}

int CNetDiscovery::OnSocketNotify(SOCKET socket, LPARAM event) {
  if (socket == m_socket && m_socket != INVALID_SOCKET && WSAGETSELECTERROR(event) == 0 &&
      (WSAGETSELECTEVENT(event) & FD_READ)) {
    while (ReadDiscoveryReply()) {
    }
  }
  return 0;
}

BOOL CNetDiscovery::ReadDiscoveryReply() {
  if (m_socket == INVALID_SOCKET) return FALSE;
  // The notification only says data was waiting; a read on an empty non-blocking
  // socket returns at once with an error, which ends the caller's loop.
  BYTE data[2048];
  sockaddr_in from{};
  int fromLength = sizeof(from);
  int n = recvfrom(m_socket, (char*)data, 2047, 0, (sockaddr*)&from, &fromLength);
  if (n <= 0) return FALSE;
  const int headerSize = (int)kUdpHeaderSize;
  if (n < headerSize) return TRUE;
  const UdpFrameHeader h = DecodeUdpFrameHeader(data);
  if (h.type != kUdpEnum) return TRUE;
  // The payload is what the header says, but never more than was received.
  int length = h.length;
  if (length > n - headerSize) length = n - headerSize;
  UpdateNetDevices(data + headerSize, length);
  return TRUE;
}
