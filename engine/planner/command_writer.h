// The output buffer of the path processor: the command stream is written into it word by
// word and cut into device data frames of exactly the frame capacity (128 bytes under
// protocol 5, 1024 under protocol 7). A command may therefore straddle two frames at any
// word or inside its coordinates; the controller joins the frames back into one stream.
//
// A frame goes to the frame queue as soon as the buffer holds a frame's worth, and
// otherwise only when asked (Flush): never at a run's end. When the queue refuses a
// frame the writer fails for good: it drops everything after, and the job must stop.
#pragma once

#include "engine/protocol/frame_queue.h"
#include "platform/types.h"

class CCommandWriter {
 public:
  static const int kBufferBytes = 2048;

  // The queue frames go to, or null (then bytes are dropped at every flush).
  void Attach(IFrameQueue* queue);
  IFrameQueue* Queue() const { return m_pQueue; }
  // Empty buffer, capacity read from the queue again, failure cleared.
  void Reset();

  void PutWord(WORD w);
  void PutDword(DWORD d);  // low word first
  void PutBytes(const BYTE* bytes, int count);
  // Short command: word, length 2, u16 value. Long command: word, length 4, u32 value.
  void Command(WORD code, WORD value);
  void Command2(WORD code, DWORD value);

  // Queues what the buffer holds as one frame (a frame's worth at a time), empties the
  // buffer. FALSE once a frame could not be queued.
  BOOL Flush();
  // Queues `count` bytes as frames of their own, past the buffer (the job header).
  BOOL QueueDirect(const BYTE* bytes, int count);

  BOOL Failed() const { return m_bFailed; }
  int Fill() const { return m_nFill; }
  int Capacity() const { return m_nCapacity; }
  // Bytes handed to the queue since the last Reset.
  DWORD BytesQueued() const { return m_nBytesQueued; }

 private:
  void PutByte(BYTE b) {
    m_abyBuffer[m_nFill++] = b;
    if (m_nFill >= m_nCapacity) Flush();
  }
  BOOL Push(const BYTE* bytes, int count);

  IFrameQueue* m_pQueue = nullptr;
  BYTE m_abyBuffer[kBufferBytes] = {};
  int m_nFill = 0;           // bytes waiting, always below m_nCapacity after a write
  int m_nCapacity = 128;     // data bytes of one frame, 2..kBufferBytes
  BOOL m_bFailed = FALSE;    // a frame was refused: nothing more is written
  DWORD m_nBytesQueued = 0;  // statistics
};
