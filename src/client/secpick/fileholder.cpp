#include "fileholder.h"

#include "clientexception.h"
#include "platform.h"
#include "utf8.h"

namespace secpick {

namespace {

#ifdef _WIN32
std::FILE* OpenStream(const std::wstring& path, const wchar_t* mode) {
  return _wfopen(path.c_str(), mode);
}
#else
// Elsewhere the C runtime takes UTF-8 paths and ignores the 't' of a mode.
std::FILE* OpenStream(const std::wstring& path, const wchar_t* mode) {
  std::string narrowPath;
  for (wchar_t c : path) AppendUtf8(narrowPath, static_cast<char32_t>(c));
  std::string narrowMode;
  for (const wchar_t* m = mode; *m; ++m) narrowMode.push_back(static_cast<char>(*m));
  return std::fopen(narrowPath.c_str(), narrowMode.c_str());
}
#endif

std::wstring WidenAscii(const char* text) {
  std::wstring wide;
  for (; *text; ++text) wide.push_back(static_cast<unsigned char>(*text));
  return wide;
}

class StdioByteSource : public ByteSource {
 public:
  explicit StdioByteSource(std::unique_ptr<FileHolder> file) : file_(std::move(file)) {}

  int ReadByte() override {
    int c = std::getc(file_->Stream());
    if (c == EOF) {
      if (std::ferror(file_->Stream())) failed_ = true;
      return -1;
    }
    return c;
  }
  bool Rewind() override {
    std::clearerr(file_->Stream());
    return std::fseek(file_->Stream(), 0, SEEK_SET) == 0;
  }
  bool Failed() const override { return failed_; }

 private:
  std::unique_ptr<FileHolder> file_;
  bool failed_ = false;
};

class StdioLineSink : public LineSink {
 public:
  explicit StdioLineSink(std::unique_ptr<FileHolder> file) : file_(std::move(file)) {}

  bool WriteLine(const std::string& text) override {
    std::FILE* stream = file_->Stream();
    if (!stream) return false;
    // fwrite, not fputs: a NUL inside the line is data too.
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
      return false;
    }
    return std::fputc('\n', stream) != EOF;
  }
  bool Close() override {
    std::FILE* stream = file_->Stream();
    if (!stream) return true;
    bool flushed = std::fflush(stream) == 0 && !std::ferror(stream);
    return file_->Close() && flushed;
  }

 private:
  std::unique_ptr<FileHolder> file_;
};

}  // namespace

void RaiseOpenError(const wchar_t* format, const std::wstring& path, const char* sourceFile,
                    int sourceLine) {
  uint32_t code = client_platform::LastError();
  auto* error = new CClientException(format, path.c_str());
  error->SetErrorCode(code);
  error->SetLocation(WidenAscii(sourceFile).c_str(), sourceLine, nullptr);
  throw error;
}

bool FileHolder::Open(const std::wstring& path, const wchar_t* mode, const wchar_t* errorFormat) {
  Close();
  stream_ = OpenStream(path, mode);
  if (!stream_) {
    if (errorFormat) RaiseOpenError(errorFormat, path, __FILE__, __LINE__);
    return false;
  }
  path_ = path;
  return true;
}

bool FileHolder::Close() {
  bool closed = true;
  if (stream_) closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  path_.clear();
  return closed;
}

std::unique_ptr<ByteSource> StdioSectionFiles::OpenInput(const std::wstring& path, OpenMode mode,
                                                         const wchar_t* errorFormat) {
  auto file = std::make_unique<FileHolder>();
  if (!file->Open(path, mode == OpenMode::kText ? L"rt" : L"rb", errorFormat)) return nullptr;
  return std::make_unique<StdioByteSource>(std::move(file));
}

std::unique_ptr<LineSink> StdioSectionFiles::CreateOutput(const std::wstring& path) {
  auto file = std::make_unique<FileHolder>();
  if (!file->Open(path, L"wt")) return nullptr;
  return std::make_unique<StdioLineSink>(std::move(file));
}

}  // namespace secpick
