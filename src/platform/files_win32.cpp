#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"

namespace sonavi {

namespace {

// The system's text for an error code, in the system's language, without the line
// break FormatMessage ends it with.
std::string ErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) text = "Erro " + std::to_string(code);
  return text;
}

Status LastError() { return Status::Error(ErrorText(GetLastError())); }

// Closes the handle on every way out.
class File {
 public:
  explicit File(HANDLE handle) : handle_(handle) {}
  ~File() {
    if (valid()) CloseHandle(handle_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Closes now, so that a failing close is seen.
  bool Close() {
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool WriteWhole(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += written;
  }
  return true;
}

class Win32FileSystem : public FileSystem {
 public:
  bool Exists(const FilePath& path) override {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  Status ReadAll(const FilePath& path, std::string* contents) override {
    File file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return LastError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return LastError();
    std::string bytes;
    bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
      DWORD read = 0;
      if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return LastError();
      if (read == 0) break;
      bytes.append(buffer, read);
    }
    if (!file.Close()) return LastError();
    *contents = std::move(bytes);
    return Status::Ok();
  }

  Status Append(const FilePath& path, const std::string& bytes) override {
    File file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return LastError();
    if (!WriteWhole(file.get(), bytes)) return LastError();
    if (!file.Close()) return LastError();
    return Status::Ok();
  }

  Status ReplaceAll(const FilePath& path, const std::string& bytes) override {
    // A read-only file is not replaced (the move below would not refuse it everywhere).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      return Status::Error(ErrorText(ERROR_ACCESS_DENIED));
    }
    const FilePath temporary = path + L".tmp";
    {
      File file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid()) return LastError();
      if (!WriteWhole(file.get(), bytes) || !FlushFileBuffers(file.get())) {
        const Status status = LastError();
        file.Close();
        DeleteFileW(temporary.c_str());
        return status;
      }
      if (!file.Close()) {
        const Status status = LastError();
        DeleteFileW(temporary.c_str());
        return status;
      }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const Status status = LastError();
      DeleteFileW(temporary.c_str());
      return status;
    }
    return Status::Ok();
  }

  bool Remove(const FilePath& path) override { return DeleteFileW(path.c_str()) != 0; }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem files;
  return files;
}

FilePath ExecutablePath() {
  // A path that fills the buffer may have been cut short: try again with a larger one.
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return FilePath(path.data(), length);
    path.resize(path.size() * 2);
  }
}

}  // namespace sonavi
