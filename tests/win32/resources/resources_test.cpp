// The resources compiled into the program load through the calls the program uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../resources/resource_ids.h"
#include "version.h"

namespace {

TEST(EmbeddedResources, IconsLoadAtTheirSizes) {
  const HINSTANCE self = GetModuleHandleA(nullptr);
  for (int id : {IDI_SONAVI, IDI_TRAY_NOT_READY, IDI_TRAY_CALLER_ID}) {
    HICON icon = static_cast<HICON>(LoadImageA(self, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr) << "icon " << id << " error " << GetLastError();
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    ASSERT_NE(GetObjectA(info.hbmColor, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 16) << "icon " << id;
    EXPECT_EQ(bitmap.bmHeight, 16) << "icon " << id;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  HICON large =
      static_cast<HICON>(LoadImageA(self, MAKEINTRESOURCEA(IDI_SONAVI), IMAGE_ICON, 32, 32, 0));
  ASSERT_NE(large, nullptr);
  DestroyIcon(large);
}

TEST(EmbeddedResources, RingWaveIsFoundByNameInAnyCase) {
  for (const char* name : {"RING", "ring"}) {
    HRSRC found = FindResourceA(nullptr, name, "WAVE");
    ASSERT_NE(found, nullptr) << name;
    const DWORD size = SizeofResource(nullptr, found);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GT(size, 44u);
    EXPECT_EQ(std::string(bytes, 4), "RIFF");
    EXPECT_EQ(std::string(bytes + 8, 4), "WAVE");
  }
}

TEST(EmbeddedResources, CarriesTheApplicationManifest) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const DWORD size = SizeofResource(nullptr, found);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  const std::string manifest(bytes, size);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
}

// The makers' notice Windows shows in the file's properties (the about window's line),
// read back from the file on disk.
TEST(EmbeddedResources, VersionResourceCarriesTheMakersNotice) {
  wchar_t path[MAX_PATH];
  ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  DWORD handle = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(path, &handle));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(
      VerQueryValueA(info.data(), "\\StringFileInfo\\081604E4\\LegalCopyright", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), SONAVI_LEGAL_COPYRIGHT);
}

}  // namespace
