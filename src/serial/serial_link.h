// What the caller-ID monitor relies on from the serial port component: the received-data
// queue, sending, and opening the configured port.
#pragma once

#include <cstdint>
#include <string>

namespace sonavi {

class SerialLink {
 public:
  virtual ~SerialLink() = default;
  // -1 when no cluster is queued, otherwise the size of the oldest one (may be 0).
  virtual int32_t PeekClusterSize() = 0;
  // Removes the oldest cluster and returns its bytes unchanged; empty when none.
  virtual std::string ReadClusterText() = 0;
  // Queues the bytes for sending and returns at once; failures are only reported
  // through the component's error event.
  virtual void SendText(const std::string& text) = 0;
  // Assigning the stored name changes nothing; another name reopens an open port.
  virtual void SetCommPort(const std::string& port) = 0;
  // True opens the port if closed (synchronously); false closes it.
  virtual void SetActive(bool active) = 0;
  virtual bool Active() const = 0;
  // True once the open port shows that its device has gone (a USB modem unplugged, a
  // stuck driver): calls fail with a code that says so or keep failing, or nothing answers
  // what was sent on a port that fails. Cleared when the port is next opened.
  virtual bool DeviceGone() const = 0;
};

}  // namespace sonavi
