// The outcome of a file or registry operation: success, or the text of the error
// that the application's standard error box shows.
#pragma once

#include <string>
#include <utility>

namespace sonavi {

class Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}
  bool failed_ = false;
  std::string message_;
};

}  // namespace sonavi
