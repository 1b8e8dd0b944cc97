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

// The same with the texts in English, the language the tests' expected texts are written
// in; the language is put back afterwards.
class EnglishAppFolderTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_nSavedLanguage = g_nUiLanguage;
    g_nUiLanguage = 1;
  }
  void TearDown() override {
    g_nUiLanguage = m_nSavedLanguage;
    AppFolderTest::TearDown();
  }
  WORD m_nSavedLanguage = 1;
};
