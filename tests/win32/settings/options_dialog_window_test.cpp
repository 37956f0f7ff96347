// The options dialog on screen: layout, the filled controls, OK and Escape.
#include "settings/options_dialog_win32.h"

#include <gtest/gtest.h>

#include <map>

#include "ui/application.h"

namespace sonavi {
namespace {

// Just enough registry: the settings key and a device map, in memory.
class MemoryRegistry : public Registry {
 public:
  struct Key {
    std::vector<std::pair<std::string, RegValue>> values;
  };
  class Open : public RegKey {
   public:
    explicit Open(Key* key) : key_(key) {}
    std::vector<std::string> ValueNames() override {
      std::vector<std::string> names;
      for (auto& [name, value] : key_->values) names.push_back(name);
      return names;
    }
    std::vector<std::string> SubKeyNames() override { return {}; }
    bool QueryValue(const std::string& name, RegValue* value) override {
      for (auto& [n, v] : key_->values) {
        if (n == name) {
          *value = v;
          return true;
        }
      }
      return false;
    }
    bool SetString(const std::string& name, const std::string& text) override {
      for (auto& [n, v] : key_->values) {
        if (n == name) {
          v = RegValue{kRegSz, text + '\0'};
          return true;
        }
      }
      key_->values.emplace_back(name, RegValue{kRegSz, text + '\0'});
      return true;
    }

   private:
    Key* key_;
  };

  std::unique_ptr<RegKey> OpenKey(RegRoot root, const std::string& path, bool create) override {
    const std::string name = (root == RegRoot::CurrentUser ? "HKCU" : "HKLM") + path;
    if (!keys.count(name) && !create) return nullptr;
    return std::make_unique<Open>(&keys[name]);
  }
  std::map<std::string, Key> keys;
};

class OptionsDialogWindowTest : public ::testing::Test {
 protected:
  OptionsDialogWindowTest() {
    auto& map = registry_.keys["HKLM\\hardware\\devicemap\\serialcomm"].values;
    map.emplace_back("\\Device\\Serial1", RegValue{kRegSz, std::string("COM2\0", 5)});
    map.emplace_back("\\Device\\Serial0", RegValue{kRegSz, std::string("COM1\0", 5)});
  }
  std::unique_ptr<Tfopcoes> Open() {
    auto dialog = std::make_unique<Tfopcoes>(settings_, registry_, app_);
    dialog->Link([this] { ++reinitialised_; });
    return dialog;
  }
  std::string Item(HWND combo, int index) {
    char text[64] = {};
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
  }
  std::string Stored(const std::string& name) {
    RegValue value;
    auto key = registry_.OpenKey(RegRoot::CurrentUser, kSettingsKey, false);
    if (!key || !key->QueryValue(name, &value)) return "<none>";
    return value.data.substr(0, value.data.find('\0'));
  }

  ui::Application app_{GetModuleHandleA(nullptr)};
  Settings settings_;
  MemoryRegistry registry_;
  int reinitialised_ = 0;
};

TEST_F(OptionsDialogWindowTest, LayoutAndFirstRunChoice) {
  auto dialog = Open();
  char caption[64] = {};
  GetWindowTextA(dialog->handle(), caption, sizeof caption);
  EXPECT_EQ(std::string(caption),
            "Op\xE7\xF5"
            "es");
  RECT client;
  GetClientRect(dialog->handle(), &client);
  EXPECT_EQ(client.right, 262);
  EXPECT_EQ(client.bottom, 126);
  EXPECT_TRUE(dialog->OpensAtStart());

  HWND combo = dialog->combo_box();
  ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Item(combo, 0), " ");
  EXPECT_EQ(Item(combo, 1), "COM1");
  EXPECT_EQ(Item(combo, 2), "COM2");
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageA(dialog->check_box(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(OptionsDialogWindowTest, OkStoresTheChoiceAndReinitialises) {
  settings_ = Settings{"COM1", true};
  auto dialog = Open();
  EXPECT_FALSE(dialog->OpensAtStart());
  EXPECT_EQ(SendMessageA(dialog->combo_box(), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageA(dialog->check_box(), BM_GETCHECK, 0, 0), BST_CHECKED);

  SendMessageA(dialog->combo_box(), CB_SETCURSEL, 2, 0);
  SendMessageA(dialog->check_box(), BM_SETCHECK, BST_UNCHECKED, 0);
  PostMessageA(dialog->handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(dialog->ShowModal(), IDOK);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_EQ(settings_.modem_port, "COM2");
  EXPECT_FALSE(settings_.speaker_off);
  EXPECT_EQ(Stored("Port"), "COM2");
  EXPECT_EQ(Stored("DesligAltif"), "0");
  EXPECT_EQ(reinitialised_, 1);
}

TEST_F(OptionsDialogWindowTest, EscapeCancelsAndKeepsTheAbandonedChoiceShown) {
  settings_ = Settings{"COM1", false};
  auto dialog = Open();
  SendMessageA(dialog->combo_box(), CB_SETCURSEL, 2, 0);
  PostMessageA(dialog->combo_box(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(dialog->ShowModal(), IDCANCEL);
  EXPECT_EQ(settings_.modem_port, "COM1");
  EXPECT_EQ(Stored("Port"), "<none>");
  EXPECT_EQ(reinitialised_, 0);
  EXPECT_EQ(SendMessageA(dialog->combo_box(), CB_GETCURSEL, 0, 0), 2);
}

TEST_F(OptionsDialogWindowTest, ReturnPressesOk) {
  settings_ = Settings{"COM2", false};
  auto dialog = Open();
  PostMessageA(dialog->combo_box(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(dialog->ShowModal(), IDOK);
  EXPECT_EQ(Stored("Port"), "COM2");
  EXPECT_EQ(reinitialised_, 1);
}

TEST_F(OptionsDialogWindowTest, KeyboardGoesToThePortListAndItsLabelLeadsThere) {
  auto dialog = Open();
  dialog->Show();
  app_.ProcessMessages();
  EXPECT_EQ(GetFocus(), dialog->combo_box());

  // Alt+P, the label's accelerator, from the check box back to the list.
  SetFocus(dialog->check_box());
  PostMessageA(dialog->check_box(), WM_SYSCHAR, 'p', 1 << 29);
  app_.ProcessMessages();
  EXPECT_EQ(GetFocus(), dialog->combo_box());
  dialog->Hide();
}

}  // namespace
}  // namespace sonavi
