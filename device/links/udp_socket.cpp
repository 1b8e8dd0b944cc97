#include "device/links/udp_socket.h"

#include <cstdio>
#include <vector>

#include <iphlpapi.h>

namespace {

std::vector<LocalAddressRow> g_testRows;
bool g_useTestRows = false;

void PrintError(const char* format, int value, bool withValue) {
  CString text = CUdpSocket::GetErrorText(WSAGetLastError());
  if (withValue)
    printf(format, value, (const char*)text);
  else
    printf(format, (const char*)text);
}

}  // namespace

void SetLocalAddressRowsForTests(const LocalAddressRow* rows, int count) {
  g_useTestRows = rows != nullptr;
  g_testRows.assign(rows, rows ? rows + count : rows);
}

BOOL ListLocalAddresses(CStringArray& addresses, CStringArray& broadcasts) {
  addresses.RemoveAll();
  broadcasts.RemoveAll();
  char host[256];
  if (gethostname(host, sizeof(host)) != 0) return FALSE;
  if (g_useTestRows) {
    AddLocalAddresses(g_testRows.data(), (int)g_testRows.size(), addresses, broadcasts);
    return addresses.GetSize() > 0;
  }
  HMODULE lib = LoadLibraryA("iphlpapi.dll");
  if (!lib) return FALSE;
  typedef DWORD(WINAPI * GetIpAddrTableFn)(PMIB_IPADDRTABLE, PULONG, BOOL);
  auto get = (GetIpAddrTableFn)(void*)GetProcAddress(lib, "GetIpAddrTable");
  if (get) {
    // Room for 20 rows: a machine with more interfaces gets no broadcasts at all.
    alignas(8) BYTE buf[484];
    ULONG size = sizeof(buf);
    if (get((PMIB_IPADDRTABLE)buf, &size, FALSE) == NO_ERROR) {
      const MIB_IPADDRTABLE* table = (const MIB_IPADDRTABLE*)buf;
      std::vector<LocalAddressRow> rows;
      for (DWORD i = 0; i < table->dwNumEntries && i < 20; ++i)
        rows.push_back({table->table[i].dwAddr, table->table[i].dwMask});
      AddLocalAddresses(rows.data(), (int)rows.size(), addresses, broadcasts);
    }
  }
  FreeLibrary(lib);
  return addresses.GetSize() > 0;
}

CUdpSocket::~CUdpSocket() = default;

int CUdpSocket::Open(const char* localAddress, WORD port, HWND notifyWindow) {
  ListLocalAddresses(m_arrLocalAddresses, m_arrBroadcastAddresses);
  m_hSocketWnd = notifyWindow;
  ResetBuffer();
  m_socket = socket(AF_INET, SOCK_DGRAM, 0);
  if (m_socket == INVALID_SOCKET) {
    PrintError("socket() failed, Err: %s\n", 0, false);
    return 0;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = (localAddress && *localAddress) ? inet_addr(localAddress) : htonl(INADDR_ANY);
  if (bind(m_socket, (sockaddr*)&local, sizeof(local)) != 0) {
    PrintError("bind() port: %d failed, Err: %s\n", port, true);
    Close();
    return 0;
  }
  int sendBuffer = 0x4000;
  if (setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, (const char*)&sendBuffer, sizeof(sendBuffer)) != 0) {
    PrintError("set SO_SNDBUF failed, Err: %s\n", 0, false);
    Close();
    return 0;
  }
  BOOL broadcast = TRUE;
  if (setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, (const char*)&broadcast, sizeof(broadcast)) != 0) {
    PrintError("set SO_BROADCAST failed, Err: %s\n", 0, false);
    Close();
    return 0;
  }
  if (notifyWindow && WSAAsyncSelect(m_socket, notifyWindow, kWmUdpSocket, FD_READ) != 0) {
    Close();
    return -1;
  }
  return 1;
}

void CUdpSocket::SetPeer(const char* address, WORD port) {
  m_peer = sockaddr_in{};
  m_peer.sin_family = AF_INET;
  m_peer.sin_port = htons(port);
  m_peer.sin_addr.s_addr = (address && *address) ? inet_addr(address) : htonl(INADDR_ANY);
}

int CUdpSocket::OnSocketNotify(SOCKET socket, LPARAM event) {
  if (socket != m_socket || m_socket == INVALID_SOCKET) return 0;
  if (WSAGETSELECTERROR(event) != 0) {
    GetErrorText(WSAGETSELECTERROR(event));
    return 0;
  }
  if (WSAGETSELECTEVENT(event) & FD_READ) ReceiveData();
  return 1;
}

void CUdpSocket::ReceiveData() {
  if (m_socket == INVALID_SOCKET) return;
  BYTE data[kUdpMaxPayload];
  sockaddr_in from{};
  int fromLength = sizeof(from);
  int n = recvfrom(m_socket, (char*)data, sizeof(data), 0, (sockaddr*)&from, &fromLength);
  if (n <= 0) return;
  if (!AcceptSender(from)) {
    ++m_dwForeignDatagrams;
    return;
  }
  m_sender = from;
  AppendData(data, n);
}

int CUdpSocket::SendTo(const BYTE* bytes, int count, const sockaddr* address, int addressLength) {
  CSingleLock lock(&m_socketSendLock, TRUE);
  if (m_socket == INVALID_SOCKET) return SOCKET_ERROR;
  return sendto(m_socket, (const char*)bytes, count, 0, address, addressLength);
}

int CUdpSocket::Send(const BYTE* bytes, int count) {
  return SendTo(bytes, count, (const sockaddr*)&m_peer, sizeof(m_peer));
}

void CUdpSocket::Close() {
  if (m_socket != INVALID_SOCKET) closesocket(m_socket);
  m_socket = INVALID_SOCKET;
}

WORD CUdpSocket::GetLocalPort() const {
  sockaddr_in local{};
  int length = sizeof(local);
  if (m_socket == INVALID_SOCKET || getsockname(m_socket, (sockaddr*)&local, &length) != 0) return 0;
  return ntohs(local.sin_port);
}

CString CUdpSocket::GetErrorText(int code) {
  char buffer[2048];
  FormatSocketError(code, buffer, 2047);
  return CString(buffer);
}
