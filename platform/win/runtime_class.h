// Run-time class records: a class's name and a function that creates an object of it,
// so that a window class can be created from its record (dynamic creation).
#pragma once

#include "platform/win/wnd.h"

struct CRuntimeClass {
  LPCSTR m_lpszClassName;        // the class's name
  int m_nObjectSize;             // sizeof the class
  CWnd* (*m_pfnCreateObject)();  // allocates and constructs one; null: not creatable

  // A new object of the class, or null when the class is not creatable.
  CWnd* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

// In the class: its record, the creation function and the GetRuntimeClass override.
#define DECLARE_DYNCREATE(theClass)           \
 public:                                      \
  static const CRuntimeClass class##theClass; \
  static CWnd* CreateObject();                \
  virtual const CRuntimeClass* GetRuntimeClass() const;

#define IMPLEMENT_DYNCREATE(theClass)                                                                          \
  CWnd* theClass::CreateObject() { return new theClass; }                                                      \
  const CRuntimeClass theClass::class##theClass = {#theClass, (int)sizeof(theClass), &theClass::CreateObject}; \
  const CRuntimeClass* theClass::GetRuntimeClass() const { return &theClass::class##theClass; }

#define RUNTIME_CLASS(theClass) (&theClass::class##theClass)
