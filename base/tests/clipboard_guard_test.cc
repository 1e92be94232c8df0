#include "base/clipboard_guard.h"

#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace base::clipboard {
namespace {

// The clipboard is machine-wide: this program holds the lock named after it.

TEST(ClipboardExceptionTest, CarriesMessageAndCode) {
  try {
    throw ClipboardException("OpenClipboard failed", 5);
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "OpenClipboard failed");
    EXPECT_EQ(dynamic_cast<const ClipboardException&>(error).code, 5);
  }
}

TEST(ClipboardGuardTest, HandedOverTextSurvivesTheGuard) {
  const char text[] = "ql clipboard guard";
  {
    ClipboardGuard guard;
    ASSERT_TRUE(::OpenClipboard(nullptr));
    guard.opened = true;
    ASSERT_TRUE(::EmptyClipboard());
    guard.memory = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
    ASSERT_NE(guard.memory, nullptr);
    std::memcpy(::GlobalLock(guard.memory), text, sizeof(text));
    ::GlobalUnlock(guard.memory);
    ASSERT_NE(::SetClipboardData(CF_TEXT, guard.memory), nullptr);
    guard.memory = nullptr;  // the clipboard owns it now
  }
  // The guard closed the clipboard: it opens again and holds the text.
  ASSERT_TRUE(::OpenClipboard(nullptr));
  HANDLE data = ::GetClipboardData(CF_TEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(static_cast<const char*>(::GlobalLock(data)), text);
  ::GlobalUnlock(data);
  ::EmptyClipboard();
  ::CloseClipboard();
}

TEST(ClipboardGuardTest, FreesABlockThatWasNeverHandedOver) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, 64);
  ASSERT_NE(block, nullptr);
  {
    ClipboardGuard guard;
    guard.memory = block;
  }
  EXPECT_EQ(::GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE));
}

TEST(ClipboardGuardTest, AnUnopenedGuardLeavesTheClipboardAlone) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  {
    ClipboardGuard guard;  // not opened by it
  }
  // Still open by us: closing succeeds exactly once.
  EXPECT_TRUE(::CloseClipboard());
  EXPECT_FALSE(::CloseClipboard());
}

}  // namespace
}  // namespace base::clipboard
