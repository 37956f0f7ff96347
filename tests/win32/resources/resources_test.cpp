// The resources compiled into the program load through the calls the program uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../resources/resource_ids.h"
#include "ui/dpi.h"
#include "version.h"

namespace {

int IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bitmap.bmWidth == bitmap.bmHeight ? bitmap.bmWidth : -1;
}

// Each picture's 256-pixel image, a PNG that Windows must decode (the native test checks the
// other images' headers), and the picture at the notification area's size.
TEST(EmbeddedResources, LargestImageAndTrayPictureLoad) {
  const HINSTANCE self = GetModuleHandleA(nullptr);
  for (int id : {IDI_SONAVI, IDI_TRAY_NOT_READY, IDI_TRAY_CALLER_ID}) {
    HICON icon = sonavi::ui::LoadIconOfSize(self, id, 256);
    ASSERT_NE(icon, nullptr) << "icon " << id;
    EXPECT_EQ(IconSize(icon), 256) << "icon " << id;
    DestroyIcon(icon);
    // The notification area's size on this screen.
    HICON tray = sonavi::ui::LoadSmallIcon(self, id);
    EXPECT_EQ(IconSize(tray), GetSystemMetrics(SM_CXSMICON)) << "icon " << id;
    DestroyIcon(tray);
  }
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

// Per-monitor DPI awareness, as Windows reads it from the manifest (each setting in its own
// namespace, or Windows ignores it and stretches the windows as bitmaps).
TEST(EmbeddedResources, ManifestDeclaresPerMonitorDpiAwareness) {
  auto setting = [](const wchar_t* space, const wchar_t* name) {
    wchar_t value[64] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, nullptr, space, name, value, 64, &written)) return std::wstring();
    return std::wstring(value);
  };
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
            L"true/pm");
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
            L"PerMonitorV2, PerMonitor");
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
