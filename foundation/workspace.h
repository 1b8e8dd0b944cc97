// CWorkspace: an array of packed path-element images kept outside the heap, in a
// temporary file mapped into memory that grows as images are added.
//
// File "<program folder>Temp\<tick><random>.work": 8 reserved bytes (zero), then fixed
// 107-byte slots, slot i at 8 + i * 107. It is opened delete-on-close: it goes when the
// workspace closes, and also when its process dies without closing it. A slot holds one image, zero-filled after it;
// the image's size follows from its element code, the 16-bit value at image bytes 4-5.
// The workspace stores raw images and knows nothing else of the elements, so the
// foundation does not depend on the NC library.
#pragma once

#include "platform/bytes.h"
#include "platform/core.h"

constexpr UINT kWorkspaceReserved = 8;    // bytes before slot 0
constexpr UINT kWorkspaceSlotSize = 107;  // the largest image (an arc)

// Bytes of the image of an element with this code: 83 for a line (0, 1), 107 for an arc
// (2, 3), 37 for a tag (0xFFFF), 22 for a mode code.
inline UINT WorkspaceImageSize(WORD code) {
  if (code <= 1) return 83;
  if (code <= 3) return 107;
  return code == 0xFFFF ? 37 : 22;
}
// The code of an image (bytes 4-5, little-endian).
inline WORD WorkspaceImageCode(const BYTE* image) { return bytes::Load16(image + 4); }

#ifdef _WIN32

class CPathElement;

class CWorkspace {
 public:
  CWorkspace();
  virtual ~CWorkspace();
  CWorkspace(const CWorkspace&) = delete;
  CWorkspace& operator=(const CWorkspace&) = delete;

  // Closes any current file and creates a new one of `size` bytes under a name no file
  // has yet. Returns the file size (the capacity is (size - 8) / 107 slots), 0 on failure.
  ULONGLONG Open(ULONGLONG size);
  // Creates the folders and the file (replacing one of that name), sets its length and
  // maps it whole. Returns the size, or 0 with nothing left open. With deleteOnClose
  // the system deletes the file when its last handle closes (Open asks for it).
  static ULONGLONG CreateWorkspace(const char* path, ULONGLONG size, HANDLE& hFile, HANDLE& hMapping, BYTE*& pView,
                                   BOOL deleteOnClose = FALSE);
  // Sets the file to `slots` slots and maps it again. Returns the new file size; 0 when
  // no file is open or slots would drop stored images; on a failed grow the old mapping
  // is kept when it can be had back, else the file is closed.
  ULONGLONG GrowWorkspace(UINT slots);
  // Unmaps, cuts the file to the stored images, closes and deletes it.
  void CloseWorkspace();
  // CloseWorkspace, then size, capacity, count and grow ratio 0.
  void Reset();
  // New capacity = count / ratio when the file must grow; no growth while ratio <= 1e-5.
  void SetGrowRatio(double a, double b);

  UINT GetCount();
  UINT GetCapacity();
  CString GetPath();
  BYTE* GetView();
  // Slot i while i < count, else null. Valid until the next store (a grow remaps).
  BYTE* GetAt(UINT i);

  // Stores one image (its size by its code). Refused (FALSE / 0) when no file is open,
  // the index is out of range, or no slot is free and the file may not or cannot grow.
  BOOL AppendImage(const BYTE* image);
  int InsertImageAt(UINT i, const BYTE* image);
  int SetImageAt(UINT i, const BYTE* image);
  // The same for a path element: its packed image is stored and the element is taken
  // over, deleted after the copy and also when the store is refused. Defined beside the
  // element model (nc/element_image.cpp), so only callers that store elements need it.
  void Append(CPathElement* element);
  int InsertAt(UINT i, CPathElement* element);
  int SetAt(UINT i, CPathElement* element);
  // Copies all images of `other` (this one too) to slots i.. . 0 when refused.
  int InsertFrom(UINT i, CWorkspace& other);
  void MarkEnd();

 private:
  bool MakeRoom(UINT added);
  void WriteSlot(UINT i, const BYTE* image);
  BYTE* Slot(UINT i) const { return m_pView + kWorkspaceReserved + size_t(i) * kWorkspaceSlotSize; }
  bool MapWhole(ULONGLONG size);
  void Unmap();

  CMutex m_mutex;         // guards every member
  CString m_strPath;      // empty when closed
  ULONGLONG m_nSize = 0;  // file size (bytes)
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  HANDLE m_hMapping = nullptr;
  BYTE* m_pView = nullptr;
  UINT m_nCapacity = 0;  // slots in the file
  UINT m_nCount = 0;     // images stored, <= m_nCapacity
  double m_dGrowRatio = 0.0;
};

#endif  // _WIN32
