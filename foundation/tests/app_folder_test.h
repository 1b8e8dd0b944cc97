// Test fixture: points the program folder (and so "Parameters.ini", the logs and every
// file the programs keep) at a fresh folder for one test.
#pragma once

#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "platform/testing/test_support.h"

class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
  }
  void TearDown() override { g_strAppFolder = m_saved; }
  CString Path(const char* name) const { return m_dir / name; }
  testing_support::TempDir m_dir;
  CString m_saved;
};
