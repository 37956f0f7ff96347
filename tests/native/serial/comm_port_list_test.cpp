#include "serial/comm_port_list.h"

#include <gtest/gtest.h>

#include "fakes/fake_locale.h"
#include "fakes/fake_registry.h"

namespace sonavi {
namespace {

using Names = std::vector<std::string>;

constexpr WindowsVersion kNt5{true, 2, 5, 1};
constexpr WindowsVersion kWin98{true, 1, 4, 10};
constexpr const char kDeviceMap[] = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char kClass[] = "\\System\\CurrentControlSet\\Services\\Class\\";

bool Exact(const std::string& a, const std::string& b) { return a == b; }

class CommPortListTest : public ::testing::Test {
 protected:
  Names Enumerate(const WindowsVersion& version, Names list = {}) {
    EnumerateSerialPorts(registry_, version, list, Exact);
    EXPECT_EQ(registry_.open_keys(), 0);
    return list;
  }
  void MapPort(const std::string& value, const std::string& port) {
    registry_.SetString(RegRoot::LocalMachine, kDeviceMap, value, port);
  }
  // A device key in the hardware tree, and its class key's PortSubClass.
  void Device(const std::string& path, const std::string& device_class, const std::string& driver,
              const std::string& port) {
    const std::string key = "\\Enum\\" + path;
    registry_.SetString(RegRoot::LocalMachine, key, "Class", device_class);
    if (!driver.empty()) registry_.SetString(RegRoot::LocalMachine, key, "Driver", driver);
    if (!port.empty()) registry_.SetString(RegRoot::LocalMachine, key, "PortName", port);
  }
  void SubClass(const std::string& driver, uint32_t type, const std::string& bytes) {
    registry_.SetValue(RegRoot::LocalMachine, kClass + driver, "PortSubClass", type, bytes);
  }

  FakeRegistry registry_;
};

TEST_F(CommPortListTest, DeviceMapAddsStringValuesOnceInListingOrder) {
  MapPort("\\Device\\Serial1", "COM3");
  MapPort("\\Device\\Serial0", "COM1");
  registry_.SetValue(RegRoot::LocalMachine, kDeviceMap, "Weird", kRegDword,
                     std::string("\x05\0\0\0", 4));
  registry_.SetValue(RegRoot::LocalMachine, kDeviceMap, "Expand", kRegExpandSz,
                     std::string("COM9\0", 5));
  MapPort("\\Device\\Serial2", "COM1");
  MapPort("\\Device\\Serial3", "COM2");
  EXPECT_EQ(Enumerate(kNt5), (Names{"COM3", "COM1", "COM2"}));
}

TEST_F(CommPortListTest, AppendsToTheCallersListWithoutDisturbingIt) {
  MapPort("a", "COM1");
  MapPort("b", "COM2");
  EXPECT_EQ(Enumerate(kNt5, {"COM2", " "}), (Names{"COM2", " ", "COM1"}));
  EXPECT_EQ(Enumerate(kNt5, {"com1"}), (Names{"com1", "COM1", "COM2"}));

  FakeLocale locale;
  Names list{"com1"};
  EnumerateSerialPorts(registry_, kNt5, list, [&](const std::string& a, const std::string& b) {
    return locale.Lower(a) == locale.Lower(b);
  });
  EXPECT_EQ(list, (Names{"com1", "COM2"}));
}

TEST_F(CommPortListTest, NoDeviceMapLeavesTheListAlone) {
  registry_.CreateKey(RegRoot::LocalMachine, "\\HARDWARE\\DEVICEMAP");
  EXPECT_EQ(Enumerate(kNt5, {"x"}), (Names{"x"}));
}

TEST_F(CommPortListTest, VersionChoosesTheRoad) {
  MapPort("a", "COM1");
  Device("Root\\Ports\\0000", "Ports", "Ports\\0000", "COM7");
  SubClass("Ports\\0000", kRegBinary, "\x01");

  EXPECT_EQ(Enumerate(kNt5), (Names{"COM1"}));
  EXPECT_EQ(Enumerate({true, 2, 6, 0}), (Names{"COM1"}));
  EXPECT_EQ(Enumerate({true, 2, 4, 0}), (Names{"COM1"}));  // NT 4.0
  EXPECT_EQ(Enumerate({true, 1, 4, 0}), (Names{"COM1"}));  // 95
  EXPECT_EQ(Enumerate(kWin98), (Names{"COM7"}));
  EXPECT_EQ(Enumerate({true, 1, 4, 90}), (Names{"COM7"}));  // Me
  EXPECT_EQ(Enumerate({false, 2, 5, 1}), Names{});
  EXPECT_EQ(Enumerate({true, 0, 5, 1}), Names{});
  EXPECT_EQ(Enumerate({true, 1, 3, 95}), Names{});
}

TEST_F(CommPortListTest, HardwareTreeTakesPortsAndModemsMarkedAsSerial) {
  Device("Root\\Ports\\0000", "ports", "Ports\\0000", "COM1");
  SubClass("Ports\\0000", kRegBinary, "\x01");
  Device("Root\\Modem\\0000", "MoDeM", "Modem\\0000", "COM3");
  SubClass("Modem\\0000", kRegBinary, "\x02");
  Device("Root\\Modem\\0001", "Modem", "Modem\\0001", "COM4");
  SubClass("Modem\\0001", kRegBinary, std::string(1, '\0'));
  Device("Root\\Printer\\0000", "Printer", "Printer\\0000", "LPT1");
  SubClass("Printer\\0000", kRegBinary, "\x01");
  Device("Root\\Ports\\0001", "Ports", "Ports\\0001", "COM5");
  SubClass("Ports\\0001", kRegNone, "\x02");  // untyped counts as binary
  Device("Root\\Ports\\0002", "Ports", "Ports\\0002", "COM6");
  SubClass("Ports\\0002", kRegBinary, std::string("\x01\x00", 2));  // longer than one byte
  Device("Root\\Ports\\0003", "Ports", "Ports\\0003", "COM8");
  SubClass("Ports\\0003", kRegDword, "\x01");                   // another type
  Device("Root\\Ports\\0004", "Ports", "Ports\\0004", "COM9");  // no class key
  Device("Root\\Ports\\0005", "Ports", "Ports\\0005", "COM1");  // found again
  SubClass("Ports\\0005", kRegBinary, "\x01");
  // Root lists Ports before Modem: they were created in that order.
  EXPECT_EQ(Enumerate(kWin98), (Names{"COM1", "COM5", "COM3"}));
}

TEST_F(CommPortListTest, HardwareTreeVisitsSubkeysOfKeysThatAddNothing) {
  Device("Root\\Ports", "ports", "Ports\\0000", "");  // no portname
  Device("Root\\Ports\\0001", "Ports", "Ports\\0001", "COM2");
  SubClass("Ports\\0001", kRegBinary, "\x01");
  Device("Root\\Ports\\0000", "Ports", "Ports\\0000", "COM1");
  SubClass("Ports\\0000", kRegBinary, "\x01");
  registry_.SetValue(RegRoot::LocalMachine, "\\Enum\\Root\\Ports\\0000\\Sub", "Class", kRegDword,
                     "\x01");
  Device("Root\\Ports\\0000\\Sub\\Deep", "Modem", "Modem\\0009", "COM11");
  SubClass("Modem\\0009", kRegBinary, "\x02");
  // Depth first, in the registry's listing order, each key before its subkeys.
  EXPECT_EQ(Enumerate(kWin98), (Names{"COM2", "COM1", "COM11"}));
}

TEST_F(CommPortListTest, HardwareTreeNeedsPlainStringsForClassDriverAndPortName) {
  const std::string key = "\\Enum\\Root\\Ports\\0000";
  registry_.SetValue(RegRoot::LocalMachine, key, "Class", kRegExpandSz, std::string("Ports\0", 6));
  registry_.SetString(RegRoot::LocalMachine, key, "Driver", "Ports\\0000");
  registry_.SetString(RegRoot::LocalMachine, key, "PortName", "COM1");
  SubClass("Ports\\0000", kRegBinary, "\x01");
  EXPECT_EQ(Enumerate(kWin98), Names{});

  registry_.SetString(RegRoot::LocalMachine, key, "Class", "Ports");
  registry_.SetValue(RegRoot::LocalMachine, key, "PortName", kRegBinary, "COM1");
  EXPECT_EQ(Enumerate(kWin98), Names{});

  registry_.SetString(RegRoot::LocalMachine, key, "PortName", "COM1");
  EXPECT_EQ(Enumerate(kWin98), (Names{"COM1"}));
}

TEST_F(CommPortListTest, NoHardwareTreeAddsNothing) {
  MapPort("a", "COM1");
  EXPECT_EQ(Enumerate(kWin98), Names{});
}

}  // namespace
}  // namespace sonavi
