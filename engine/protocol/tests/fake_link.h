// A device link in memory for the frame protocol's tests and benchmark: it keeps what
// the protocol writes, hands out the answer bytes a test gives it, and can answer every
// frame by itself the way a controller would.
#pragma once

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "device/links/device_link.h"
#include "engine/protocol/notify_text.h"
#include "platform/notify_sink.h"

class CFakeLink : public CDeviceLink {
 public:
  enum AutoAnswer {
    kAnswerNone,     // only the bytes given with Answer
    kAnswerAck,      // 0x01 for every write
    kAnswerChecked,  // ACK for a frame with a good check value, NAK otherwise
  };

  CFakeLink() {
    m_hPort = 1;
    m_strPortName = "FAKE";
  }

  BOOL Read(BYTE* buffer, DWORD* length) override {
    DWORD n = *length < m_pending.size() - m_nReadAt ? *length : DWORD(m_pending.size() - m_nReadAt);
    if (n) memcpy(buffer, m_pending.data() + m_nReadAt, n);
    m_nReadAt += n;
    if (m_nReadAt == m_pending.size()) m_pending.clear(), m_nReadAt = 0;
    *length = n;
    return n > 0 ? TRUE : FALSE;
  }
  BOOL Write(const BYTE* bytes, DWORD* length) override {
    ++m_nWriteCalls;
    if (m_nFailWrites > 0) {
      --m_nFailWrites;
      *length = 0;
      return FALSE;
    }
    if (m_nChunk && *length > m_nChunk) *length = m_nChunk;
    if (m_bRecord) m_writes.emplace_back(bytes, bytes + *length);
    if (m_answer == kAnswerAck) {
      m_pending.push_back(0x01);
    } else if (m_answer == kAnswerChecked) {
      DeviceFrame frame;
      frame.Clear();
      memcpy(frame.m_bytes, bytes, *length);
      m_pending.push_back(frame.IsChecksumValid(m_nVersion) ? 0x01 : 0x08);
    }
    return TRUE;
  }
  BOOL GetCommProperties(COMMPROP*) override { return TRUE; }
  void Purge() override {
    ++m_nPurges;
    m_pending.clear();
    m_nReadAt = 0;
  }
  BOOL IsCtsOn() override {
    if (m_ctsScript.empty()) return m_bCts;
    bool on = m_ctsScript.front();
    m_ctsScript.pop_front();
    return on ? TRUE : FALSE;
  }
  int GetBaudRate() override { return 115200; }
  BOOL IsOpen() override { return m_hPort != -1 ? TRUE : FALSE; }
  BOOL ReTrans() override { return FALSE; }
  void SendKeepAlive() override {}
  BOOL IsLinkTimedOut() override { return FALSE; }
  BOOL Open(const char* commString, int, int, HWND notifyWindow, UINT notifyMessage) override {
    m_strPortName = commString;
    m_hNotifyWnd = notifyWindow;
    m_nNotifyMsg = notifyMessage;
    m_hPort = 1;
    return TRUE;
  }
  BOOL Close() override {
    m_hPort = -1;
    return TRUE;
  }

  // Bytes the controller sends; the test then calls OnLinkData(1).
  void Answer(const std::vector<BYTE>& bytes) { m_pending.insert(m_pending.end(), bytes.begin(), bytes.end()); }
  void Answer(const std::string& text) { m_pending.insert(m_pending.end(), text.begin(), text.end()); }

  AutoAnswer m_answer = kAnswerNone;
  int m_nVersion = 5;            // generation kAnswerChecked checks under
  bool m_bRecord = true;         // keep every write in m_writes
  BOOL m_bCts = TRUE;            // the clear-to-send line
  std::deque<bool> m_ctsScript;  // answers of the next IsCtsOn calls, before m_bCts
  DWORD m_nChunk = 0;            // most bytes one Write takes; 0 all
  int m_nFailWrites = 0;         // the next writes fail
  int m_nWriteCalls = 0;
  int m_nPurges = 0;
  std::vector<std::vector<BYTE>> m_writes;

 private:
  std::vector<BYTE> m_pending;  // answer bytes not read yet, from m_nReadAt
  size_t m_nReadAt = 0;
};

// Keeps what was posted to the owner; notify texts are copied and freed.
class CRecordingSink : public INotifySink {
 public:
  struct Post {
    UINT message;
    WPARAM wParam;
    std::string text;  // the line of a notify message
  };
  BOOL PostNotify(UINT message, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bRefuse) return FALSE;
    Post post{message, wParam, ""};
    if (message == kNotifyTextMsg || message == kNotifyDelayedMsg) {
      post.text = GetNotifyText(lParam);
      FreeNotifyText(lParam);
    }
    m_posts.push_back(post);
    return TRUE;
  }
  std::vector<Post> Posts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_posts;
  }
  // The wParams of the posts of this message, e.g. "2" or "1 2".
  std::string WParams(UINT message) {
    std::string out;
    for (const Post& p : Posts())
      if (p.message == message) out += (out.empty() ? "" : " ") + std::to_string(p.wParam);
    return out;
  }
  bool m_bRefuse = false;

 private:
  std::mutex m_mutex;
  std::vector<Post> m_posts;
};
