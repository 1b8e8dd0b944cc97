// Arrays with the interface the programs are written against.
//
// Indices are int; out-of-range access is a programming error (asserted in debug
// builds, checked by the sanitizers in the host build).
#pragma once

#include <cassert>
#include <utility>
#include <vector>

#include "platform/cstring.h"

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
 public:
  int GetSize() const { return (int)m_data.size(); }
  int GetCount() const { return (int)m_data.size(); }
  int GetUpperBound() const { return (int)m_data.size() - 1; }
  bool IsEmpty() const { return m_data.empty(); }

  // growBy is accepted for compatibility; growth is geometric.
  void SetSize(int newSize, int growBy = -1) {
    (void)growBy;
    if (newSize < 0) newSize = 0;
    m_data.resize((size_t)newSize);
  }
  void Reserve(int n) { m_data.reserve((size_t)n); }
  void FreeExtra() { m_data.shrink_to_fit(); }
  void RemoveAll() { m_data.clear(); }

  const TYPE& GetAt(int i) const {
    assert(i >= 0 && i < GetSize());
    return m_data[(size_t)i];
  }
  TYPE& GetAt(int i) {
    assert(i >= 0 && i < GetSize());
    return m_data[(size_t)i];
  }
  void SetAt(int i, ARG_TYPE v) {
    assert(i >= 0 && i < GetSize());
    m_data[(size_t)i] = v;
  }
  TYPE& ElementAt(int i) {
    assert(i >= 0 && i < GetSize());
    return m_data[(size_t)i];
  }
  const TYPE& operator[](int i) const { return GetAt(i); }
  TYPE& operator[](int i) { return GetAt(i); }
  const TYPE* GetData() const { return m_data.data(); }
  TYPE* GetData() { return m_data.data(); }

  void SetAtGrow(int i, ARG_TYPE v) {
    if (i >= GetSize()) m_data.resize((size_t)i + 1);
    m_data[(size_t)i] = v;
  }
  int Add(ARG_TYPE v) {
    m_data.push_back(v);
    return GetSize() - 1;
  }
  int Append(const CArray& other) {
    int first = GetSize();
    m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
    return first;
  }
  void Copy(const CArray& other) { m_data = other.m_data; }
  void InsertAt(int i, ARG_TYPE v, int count = 1) {
    if (i > GetSize()) m_data.resize((size_t)i);
    m_data.insert(m_data.begin() + i, (size_t)count, v);
  }
  void RemoveAt(int i, int count = 1) {
    assert(i >= 0 && count >= 0 && i + count <= GetSize());
    m_data.erase(m_data.begin() + i, m_data.begin() + i + count);
  }

  typename std::vector<TYPE>::iterator begin() { return m_data.begin(); }
  typename std::vector<TYPE>::iterator end() { return m_data.end(); }
  typename std::vector<TYPE>::const_iterator begin() const { return m_data.begin(); }
  typename std::vector<TYPE>::const_iterator end() const { return m_data.end(); }

 private:
  std::vector<TYPE> m_data;
};

class CStringArray : public CArray<CString, const char*> {};
class CPtrArray : public CArray<void*, void*> {};
class CDWordArray : public CArray<DWORD, DWORD> {};
class CByteArray : public CArray<BYTE, BYTE> {};
class CUIntArray : public CArray<UINT, UINT> {};
