// The native packer's operating system on POSIX: files through descriptors and positional
// reads and writes, spill files unlinked as soon as they are made, pthreads, iconv for code
// pages.
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "formatstring.h"
#include "native/nativeservices.h"

namespace nativepack {

namespace {

SystemError Errno(int code) { return SystemError{static_cast<uint32_t>(code), std::strerror(code)}; }
SystemError LastErrno() { return Errno(errno); }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool ReadFully(int fd, uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) {
  while (size > 0) {
    ssize_t got = pread(fd, buffer, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = got < 0 ? LastErrno() : Errno(EIO);
      return false;
    }
    buffer += got;
    offset += static_cast<uint64_t>(got);
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteFully(int fd, uint64_t offset, const uint8_t* data, size_t size, SystemError& error) {
  while (size > 0) {
    ssize_t put = pwrite(fd, data, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? LastErrno() : Errno(EIO);
      return false;
    }
    data += put;
    offset += static_cast<uint64_t>(put);
    size -= static_cast<size_t>(put);
  }
  return true;
}

class PosixInput : public pack::InputFile {
 public:
  PosixInput(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint8_t* buffer, size_t size, size_t& got, SystemError& error) override {
    got = 0;
    while (got < size) {
      ssize_t n = read(fd_.get(), buffer + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = LastErrno();
        return false;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    return true;
  }
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) override {
    return ReadFully(fd_.get(), offset, buffer, size, error);
  }

 private:
  Descriptor fd_;
  uint64_t size_;
};

class PosixSpill : public pack::SpillFile {
 public:
  explicit PosixSpill(int fd) : fd_(fd) {}
  bool Append(const uint8_t* data, size_t size, uint64_t& offset, SystemError& error) override {
    offset = end_;
    if (!WriteFully(fd_.get(), end_, data, size, error)) return false;
    end_ += size;
    return true;
  }
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) override {
    return ReadFully(fd_.get(), offset, buffer, size, error);
  }

 private:
  Descriptor fd_;
  uint64_t end_ = 0;
};

class PosixOutput : public KitOutput {
 public:
  PosixOutput(int fd, std::string temp, std::string path)
      : fd_(fd), temp_(std::move(temp)), path_(std::move(path)) {}
  ~PosixOutput() override {
    if (!committed_) unlink(temp_.c_str());
  }
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t size, SystemError& error) override {
    return WriteFully(fd_.get(), offset, data, size, error);
  }
  bool Commit(SystemError& error) override {
    // No fsync: the rename keeps a failed or interrupted run from leaving a partial kit under
    // the output's name; making the kit durable is the file system's business, as for any tool.
    if (close(fd_.release()) != 0) {
      error = LastErrno();
      return false;
    }
    if (rename(temp_.c_str(), path_.c_str()) != 0) {
      error = LastErrno();
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  Descriptor fd_;
  std::string temp_;
  std::string path_;
  bool committed_ = false;
};

class PosixMonitor : public pack::Monitor {
 public:
  PosixMonitor() {
    pthread_mutex_init(&mutex_, nullptr);
    pthread_cond_init(&cond_, nullptr);
  }
  ~PosixMonitor() override {
    pthread_cond_destroy(&cond_);
    pthread_mutex_destroy(&mutex_);
  }
  void Lock() override { pthread_mutex_lock(&mutex_); }
  void Unlock() override { pthread_mutex_unlock(&mutex_); }
  void Wait() override { pthread_cond_wait(&cond_, &mutex_); }
  void NotifyAll() override { pthread_cond_broadcast(&cond_); }

 private:
  pthread_mutex_t mutex_;
  pthread_cond_t cond_;
};

class IconvCodePage : public CodePage {
 public:
  IconvCodePage(iconv_t in, iconv_t out) : in_(in), out_(out) {}
  ~IconvCodePage() override {
    iconv_close(in_);
    iconv_close(out_);
  }
  std::u16string ToUtf16(const std::string& text) override {
    std::string bytes = Convert(in_, text.data(), text.size(), "?\0");
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return out;
  }
  std::string FromUtf16(const std::u16string& text) override {
    std::string bytes;
    for (char16_t c : text) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    return Convert(out_, bytes.data(), bytes.size(), nullptr);
  }

 private:
  // Converts all of it; an input unit that cannot be converted becomes '?' (in the target's
  // width) and is skipped.
  std::string Convert(iconv_t cd, const char* data, size_t size, const char* wideQuestion) {
    std::string out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    char buffer[4096];
    size_t unit = wideQuestion ? 1 : 2;
    while (inLeft > 0) {
      char* put = buffer;
      size_t outLeft = sizeof buffer;
      size_t rc = iconv(cd, &in, &inLeft, &put, &outLeft);
      out.append(buffer, put - buffer);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        if (wideQuestion) out.append(wideQuestion, 2); else out.push_back('?');
        size_t skip = inLeft < unit ? inLeft : unit;
        // A UTF-16 surrogate pair that has no place in the code page is one character.
        if (!wideQuestion && inLeft >= 4 && (static_cast<unsigned char>(in[1]) & 0xFC) == 0xD8) skip = 4;
        in += skip;
        inLeft -= skip;
      }
    }
    return out;
  }

  iconv_t in_;
  iconv_t out_;
};

void* ThreadMain(void* arg) {
  auto* body = static_cast<std::function<void()>*>(arg);
  (*body)();
  return nullptr;
}

class PosixServices : public NativeServices {
 public:
  PosixServices() = default;
  ~PosixServices() override;
  std::unique_ptr<pack::InputFile> OpenInput(const std::string& path, SystemError& error) override;
  std::unique_ptr<pack::SpillFile> CreateSpill(SystemError& error) override;
  std::unique_ptr<pack::Monitor> NewMonitor() override;
  bool StartThread(std::function<void()> body, SystemError& error) override;
  void JoinThreads() override;
  double Now() override;
  bool SlashStartsSwitch() override { return false; }
  std::string HostPath(const std::string& path) override;
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
    pthread_t handle;
    std::function<void()>* body;
  };
  std::vector<Thread> threads_;
};

}  // namespace

PosixServices::~PosixServices() { JoinThreads(); }

std::string PosixServices::HostPath(const std::string& path) {
  // Pack mode puts ".\" before a steering-file path without '\' or ':'; before an absolute
  // path it would make it relative.
  std::string out = path.compare(0, 3, ".\\/") == 0 ? path.substr(2) : path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::unique_ptr<pack::InputFile> PosixServices::OpenInput(const std::string& path, SystemError& error) {
  Descriptor fd(open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
    error = LastErrno();
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    error = Errno(EISDIR);
    return nullptr;
  }
  return std::make_unique<PosixInput>(fd.release(), static_cast<uint64_t>(st.st_size));
}

std::unique_ptr<pack::SpillFile> PosixServices::CreateSpill(SystemError& error) {
  const char* dir = getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/stowkit-spill-XXXXXX";
  int fd = mkstemp(&pattern[0]);
  if (fd < 0) {
    error = LastErrno();
    return nullptr;
  }
  unlink(pattern.c_str());  // gone from the directory at once: nothing is left behind
  return std::make_unique<PosixSpill>(fd);
}

std::unique_ptr<pack::Monitor> PosixServices::NewMonitor() { return std::make_unique<PosixMonitor>(); }

bool PosixServices::StartThread(std::function<void()> body, SystemError& error) {
  auto* owned = new std::function<void()>(std::move(body));
  pthread_t thread;
  int rc = pthread_create(&thread, nullptr, ThreadMain, owned);
  if (rc != 0) {
    delete owned;
    error = Errno(rc);
    return false;
  }
  threads_.push_back(Thread{thread, owned});
  return true;
}

void PosixServices::JoinThreads() {
  for (Thread& t : threads_) {
    pthread_join(t.handle, nullptr);
    delete t.body;
  }
  threads_.clear();
}

double PosixServices::Now() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

bool PosixServices::ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) {
  std::unique_ptr<pack::InputFile> in = OpenInput(path, error);
  if (!in) return false;
  bytes.resize(static_cast<size_t>(in->Size()));
  return in->ReadAt(0, bytes.data(), bytes.size(), error);
}

bool PosixServices::Exists(const std::string& path, SystemError& error) {
  struct stat st;
  if (stat(HostPath(path).c_str(), &st) == 0) return true;
  error = LastErrno();
  return false;
}

bool PosixServices::Identity(const std::string& path, FileIdentity& id) {
  struct stat st;
  if (stat(HostPath(path).c_str(), &st) != 0) return false;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

std::unique_ptr<CodePage> PosixServices::OpenCodePage(unsigned codePage, std::string& reason) {
  std::string name = codePage == 65001 ? "UTF-8" : codePage == 28591 ? "ISO-8859-1"
                                                  : FormatToString("CP%u", codePage);
  iconv_t in = iconv_open("UTF-16LE", name.c_str());
  iconv_t out = iconv_open(name.c_str(), "UTF-16LE");
  if (in == reinterpret_cast<iconv_t>(-1) || out == reinterpret_cast<iconv_t>(-1)) {
    reason = "the system has no converter for it";
    if (in != reinterpret_cast<iconv_t>(-1)) iconv_close(in);
    if (out != reinterpret_cast<iconv_t>(-1)) iconv_close(out);
    return nullptr;
  }
  return std::make_unique<IconvCodePage>(in, out);
}

std::unique_ptr<KitOutput> PosixServices::CreateKitOutput(const std::string& path, SystemError& error) {
  std::string target = HostPath(path);
  std::string temp = target + ".stowkit-XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    error = LastErrno();
    return nullptr;
  }
  // The kit gets the permissions a newly created file would have, executable where the
  // umask allows it.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0777 & ~mask);
  return std::make_unique<PosixOutput>(fd, temp, target);
}

unsigned PosixServices::ProcessorCount() {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<unsigned>(n) : 1;
}

std::string PosixServices::ProgramDirectory() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string full(path, static_cast<size_t>(n));
  size_t slash = full.rfind('/');
  return slash == std::string::npos ? "." : full.substr(0, slash);
}

const char* PosixServices::Environment(const char* name) { return getenv(name); }

int64_t PosixServices::UnixTime() { return static_cast<int64_t>(time(nullptr)); }

int PosixServices::LocalYear(int64_t unixTime) {
  time_t t = static_cast<time_t>(unixTime);
  struct tm local;
  return localtime_r(&t, &local) ? local.tm_year + 1900 : 1970;
}

bool PosixServices::ErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void PosixServices::WriteError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void PosixServices::WriteOutput(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::unique_ptr<NativeServices> MakeHostServices() { return std::make_unique<PosixServices>(); }

}  // namespace nativepack
