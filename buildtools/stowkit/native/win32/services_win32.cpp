// The native packer's operating system on Windows: files read and written at offsets through
// one handle each, spill files deleted by the system when closed, threads of the C runtime,
// a slim lock with a condition variable, and the system's code-page conversions.
#include "native/nativeservices.h"

#include <windows.h>
#include <io.h>
#include <process.h>

#include <cstdio>
#include <vector>
#include <cstdlib>
#include <ctime>

#include "formatstring.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/systemerror.h"
#include "services/win32/tempfile.h"

namespace nativepack {

namespace {

constexpr DWORD kMaxTransfer = 1u << 30;

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED o = {};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

bool ReadFully(HANDLE file, uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) {
  while (size > 0) {
    DWORD part = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD got = 0;
    OVERLAPPED o = At(offset);
    if (!ReadFile(file, buffer, part, &got, &o) || got == 0) {
      if (got == 0 && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HANDLE_EOF);
      error = CaptureSystemError();
      return false;
    }
    buffer += got;
    offset += got;
    size -= got;
  }
  return true;
}

bool WriteFully(HANDLE file, uint64_t offset, const uint8_t* data, size_t size, SystemError& error) {
  while (size > 0) {
    DWORD part = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD put = 0;
    OVERLAPPED o = At(offset);
    if (!WriteFile(file, data, part, &put, &o) || put == 0) {
      error = CaptureSystemError();
      return false;
    }
    data += put;
    offset += put;
    size -= put;
  }
  return true;
}

class Win32Input : public pack::InputFile {
 public:
  Win32Input(HANDLE file, uint64_t size) : file_(file), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint8_t* buffer, size_t size, size_t& got, SystemError& error) override {
    got = 0;
    while (got < size) {
      DWORD part = static_cast<DWORD>(size - got < kMaxTransfer ? size - got : kMaxTransfer);
      DWORD n = 0;
      if (!ReadFile(file_.get(), buffer + got, part, &n, nullptr)) {
        error = CaptureSystemError();
        return false;
      }
      if (n == 0) break;
      got += n;
    }
    return true;
  }
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) override {
    return ReadFully(file_.get(), offset, buffer, size, error);
  }

 private:
  UniqueFileHandle file_;
  uint64_t size_;
};

class Win32Spill : public pack::SpillFile {
 public:
  explicit Win32Spill(HANDLE file) : file_(file) {}
  bool Append(const uint8_t* data, size_t size, uint64_t& offset, SystemError& error) override {
    offset = end_;
    if (!WriteFully(file_.get(), end_, data, size, error)) return false;
    end_ += size;
    return true;
  }
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) override {
    return ReadFully(file_.get(), offset, buffer, size, error);
  }

 private:
  UniqueFileHandle file_;
  uint64_t end_ = 0;
};

class Win32Output : public KitOutput {
 public:
  Win32Output(HANDLE file, std::string temp, std::string path)
      : file_(file), temp_(std::move(temp)), path_(std::move(path)) {}
  ~Win32Output() override {
    if (committed_) return;
    file_.reset();
    DeleteFileAnyLength(temp_);
  }
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t size, SystemError& error) override {
    return WriteFully(file_.get(), offset, data, size, error);
  }
  bool Commit(SystemError& error) override {
    if (!file_.reset() || !MoveFileAnyLength(temp_, path_, MOVEFILE_REPLACE_EXISTING)) {
      error = CaptureSystemError();
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  UniqueFileHandle file_;
  std::string temp_;
  std::string path_;
  bool committed_ = false;
};

class Win32Monitor : public pack::Monitor {
 public:
  Win32Monitor() {
    InitializeSRWLock(&lock_);
    InitializeConditionVariable(&condition_);
  }
  void Lock() override { AcquireSRWLockExclusive(&lock_); }
  void Unlock() override { ReleaseSRWLockExclusive(&lock_); }
  void Wait() override { SleepConditionVariableSRW(&condition_, &lock_, INFINITE, 0); }
  void NotifyAll() override { WakeAllConditionVariable(&condition_); }

 private:
  SRWLOCK lock_;
  CONDITION_VARIABLE condition_;
};

class Win32CodePage : public CodePage {
 public:
  explicit Win32CodePage(UINT codePage) : codePage_(codePage) {}
  std::u16string ToUtf16(const std::string& text) override {
    if (text.empty()) return std::u16string();
    int n = MultiByteToWideChar(codePage_, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage_, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return std::u16string(wide.begin(), wide.end());
  }
  std::string FromUtf16(const std::u16string& text) override {
    if (text.empty()) return std::string();
    std::wstring wide(text.begin(), text.end());
    // UTF-8 and UTF-7 take no default character.
    bool noDefault = codePage_ == CP_UTF8 || codePage_ == CP_UTF7;
    int n = WideCharToMultiByte(codePage_, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                noDefault ? nullptr : "?", nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage_, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n,
                        noDefault ? nullptr : "?", nullptr);
    return out;
  }

 private:
  UINT codePage_;
};

unsigned __stdcall ThreadMain(void* arg) {
  (*static_cast<std::function<void()>*>(arg))();
  return 0;
}

class Win32Services : public NativeServices {
 public:
  Win32Services() = default;
  ~Win32Services() override;
  std::unique_ptr<pack::InputFile> OpenInput(const std::string& path, SystemError& error) override;
  std::unique_ptr<pack::SpillFile> CreateSpill(SystemError& error) override;
  std::unique_ptr<pack::Monitor> NewMonitor() override;
  bool StartThread(std::function<void()> body, SystemError& error) override;
  void JoinThreads() override;
  double Now() override;
  bool SlashStartsSwitch() override { return true; }
  std::string HostPath(const std::string& path) override { return path; }
  bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) override;
  bool Exists(const std::string& path, SystemError& error) override;
  bool Identity(const std::string& path, FileIdentity& id) override;
  std::unique_ptr<CodePage> OpenCodePage(unsigned codePage, std::string& reason) override;
  std::unique_ptr<KitOutput> CreateKitOutput(const std::string& path, SystemError& error) override;
  unsigned ProcessorCount() override;
  std::string ProgramDirectory() override;
  const char* Environment(const char* name) override;
  int64_t UnixTime() override;
  int LocalYear(int64_t unixTime) override;
  bool ErrorIsTerminal() override;
  void WriteError(const std::string& text) override;
  void WriteOutput(const std::string& text) override;

 private:
  struct Thread {
    HANDLE handle;
    std::function<void()>* body;
  };
  std::vector<Thread> threads_;
  SRWLOCK spillNames_ = SRWLOCK_INIT;
};

}  // namespace

Win32Services::~Win32Services() { JoinThreads(); }

std::unique_ptr<pack::InputFile> Win32Services::OpenInput(const std::string& path, SystemError& error) {
  UniqueFileHandle file(CreateFileAnyLength(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size)) {
    error = CaptureSystemError();
    return nullptr;
  }
  return std::make_unique<Win32Input>(file.release(), static_cast<uint64_t>(size.QuadPart));
}

std::unique_ptr<pack::SpillFile> Win32Services::CreateSpill(SystemError& error) {
  // Named as the packer's other temporary files are, in a TMP or TEMP of any length; the
  // claimed name is deleted by its owner until the handle that deletes it on close is open.
  // Compressing threads spill at the same time; the name sequence is the process's one.
  TempFile claimed;
  AcquireSRWLockExclusive(&spillNames_);
  try {
    claimed = ClaimTempFile();
  } catch (...) {  // no name could be claimed (or no memory): the spill fails, nothing else
  }
  ReleaseSRWLockExclusive(&spillNames_);
  if (!claimed) {
    error = SystemErrorFor(ERROR_CANNOT_MAKE);
    return nullptr;
  }
  HANDLE file = CreateFileW(CallablePath(claimed.path()).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = CaptureSystemError();
    return nullptr;
  }
  claimed.Release();
  return std::make_unique<Win32Spill>(file);
}

std::unique_ptr<pack::Monitor> Win32Services::NewMonitor() { return std::make_unique<Win32Monitor>(); }

bool Win32Services::StartThread(std::function<void()> body, SystemError& error) {
  auto* owned = new std::function<void()>(std::move(body));
  uintptr_t handle = _beginthreadex(nullptr, 0, ThreadMain, owned, 0, nullptr);
  if (handle == 0) {
    error = CaptureSystemError();
    delete owned;
    return false;
  }
  threads_.push_back(Thread{reinterpret_cast<HANDLE>(handle), owned});
  return true;
}

void Win32Services::JoinThreads() {
  for (Thread& t : threads_) {
    WaitForSingleObject(t.handle, INFINITE);
    CloseHandle(t.handle);
    delete t.body;
  }
  threads_.clear();
}

double Win32Services::Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Win32Services::ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) {
  std::unique_ptr<pack::InputFile> in = OpenInput(path, error);
  if (!in) return false;
  bytes.resize(static_cast<size_t>(in->Size()));
  return bytes.empty() || in->ReadAt(0, bytes.data(), bytes.size(), error);
}

bool Win32Services::Exists(const std::string& path, SystemError& error) {
  if (FileAttributesAnyLength(path) != INVALID_FILE_ATTRIBUTES) return true;
  error = CaptureSystemError();
  return false;
}

bool Win32Services::Identity(const std::string& path, FileIdentity& id) {
  UniqueFileHandle file(CreateFileAnyLength(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

std::unique_ptr<CodePage> Win32Services::OpenCodePage(unsigned codePage, std::string& reason) {
  if (!IsValidCodePage(codePage)) {
    reason = "the system has no converter for it";
    return nullptr;
  }
  return std::make_unique<Win32CodePage>(codePage);
}

std::unique_ptr<KitOutput> Win32Services::CreateKitOutput(const std::string& path, SystemError& error) {
  for (unsigned n = 0; n < 1000; ++n) {
    std::string temp = FormatToString("%s.stowkit-%lu-%u", path.c_str(), GetCurrentProcessId(), n);
    HANDLE file = CreateFileAnyLength(temp, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (file != INVALID_HANDLE_VALUE) return std::make_unique<Win32Output>(file, temp, path);
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  error = CaptureSystemError();
  return nullptr;
}

unsigned Win32Services::ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}

std::string Win32Services::ProgramDirectory() {
  std::string path(32768, '\0');
  DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(n);
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? "." : path.substr(0, cut);
}

const char* Win32Services::Environment(const char* name) { return std::getenv(name); }

int64_t Win32Services::UnixTime() { return static_cast<int64_t>(std::time(nullptr)); }

int Win32Services::LocalYear(int64_t unixTime) {
  std::time_t t = static_cast<std::time_t>(unixTime);
  const std::tm* local = std::localtime(&t);
  return local ? local->tm_year + 1900 : 1970;
}

bool Win32Services::ErrorIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

void Win32Services::WriteError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void Win32Services::WriteOutput(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::unique_ptr<NativeServices> MakeHostServices() { return std::make_unique<Win32Services>(); }

}  // namespace nativepack
