// A serial port component on the scripted driver, its worker stepped by the test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatcher.h"
#include "serial/fake_comm.h"
#include "serial/serial_port.h"

namespace sonavi::testing {

struct PortReport {
  uint32_t place;
  uint32_t code;
  std::string msg;
  uint8_t noise;
};

// Runs each step at once on the calling thread (the test is also the main thread).
class SerialStepDispatcher : public MainThreadDispatcher {
 public:
  bool RunOnMainThread(const std::function<void()>& step) override {
    ++calls;
    step();
    return true;
  }
  void JoinServing(std::thread& worker) override {
    if (worker.joinable()) worker.join();
  }
  int calls = 0;
};

class SerialPortTest : public ::testing::Test {
 protected:
  SerialPortTest() { Make(); }

  void Make() {
    port = std::make_unique<TSerialPort>(fake, &dispatcher, TSerialPort::WorkerMode::kStepped);
    port->OnProcessError = [this](TSerialPort&, uint32_t place, uint32_t code,
                                  const std::string& msg, uint8_t noise) {
      reports->push_back(PortReport{place, code, msg, noise});
    };
  }

  // The worker runs one pass whenever the component sleeps waiting for it.
  void RunWorkerDuringSleeps() {
    TSerialPort* p = port.get();
    fake.after_call = [p](const std::string& call) {
      if (call.rfind("Sleep", 0) == 0) p->Worker().RunPass();
    };
  }

  void Passes(int n) {
    for (int i = 0; i < n; ++i) port->Worker().RunPass();
  }

  // Runs passes until a cluster is queued; false if none came within max_passes.
  bool PassUntilCluster(int max_passes = 1000) {
    for (int i = 0; i < max_passes; ++i) {
      if (port->PeekClusterSize() >= 0) return true;
      port->Worker().RunPass();
    }
    return port->PeekClusterSize() >= 0;
  }

  void OpenServing() {
    port->SetActive(true);
    ASSERT_TRUE(port->Active());
    Passes(1);  // the idle pass that notices the open port
    ASSERT_TRUE(port->Worker().ServingPort());
  }

  int CountReports(uint32_t place, const std::string& msg) const {
    int n = 0;
    for (const PortReport& r : *reports) n += (r.place == place && r.msg == msg) ? 1 : 0;
    return n;
  }

  const PortReport* FindReport(uint32_t place, const std::string& msg) const {
    for (const PortReport& r : *reports) {
      if (r.place == place && r.msg == msg) return &r;
    }
    return nullptr;
  }

  FakeComm fake;
  SerialStepDispatcher dispatcher;
  // Outlives the component, so that reports made while it is destroyed can be checked.
  std::shared_ptr<std::vector<PortReport>> reports = std::make_shared<std::vector<PortReport>>();
  std::unique_ptr<TSerialPort> port;
};

}  // namespace sonavi::testing
