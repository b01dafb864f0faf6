// The resource update keeps the packer image's certificate table, whose digest no longer
// matches the kit, and its header checksum: a kit carries neither a false signature nor a
// false checksum.
#include <windows.h>

#include "formatstring.h"
#include "pack/kitimage.h"
#include "pack/peimage.h"
#include "pack/win32/packwin32.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/systemerror.h"

namespace pack {

namespace {

class HandleSource : public ByteSource {
 public:
  HandleSource(HANDLE file, uint64_t size) : file_(file), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (offset > size_ || size > size_ - offset) return false;
    auto* at = static_cast<uint8_t*>(buffer);
    while (size > 0) {
      OVERLAPPED o = {};
      o.Offset = static_cast<DWORD>(offset);
      o.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD part = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
      DWORD got = 0;
      if (!ReadFile(file_, at, part, &got, &o) || got == 0) return false;
      at += got;
      offset += got;
      size -= got;
    }
    return true;
  }

 private:
  HANDLE file_;
  uint64_t size_;
};

}  // namespace

bool RepairKitHeaders(const std::string& path, std::string& errorText) {
  auto fail = [&](const std::string& why) {
    errorText += FormatToString("\n-- the headers of '%s' cannot be completed (certificate table, checksum) \n %s",
                                path.c_str(), why.c_str());
    return false;
  };
  UniqueFileHandle file(CreateFileAnyLength(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size)) return fail(ErrorCodeAndText(CaptureSystemError()));
  HandleSource source(file.get(), static_cast<uint64_t>(size.QuadPart));
  PeImage image;
  ByteVector headers;
  uint64_t newSize = 0;
  std::string reason;
  if (!ReadPeImage(source, image, reason)) return fail(reason);
  switch (PlanHeaderRepair(source, image, headers, newSize, reason)) {
    case HeaderRepair::kNone:
      return true;
    case HeaderRepair::kFailed:
      return fail(reason);
    case HeaderRepair::kRewrite:
      break;
  }
  DWORD written = 0;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(newSize);
  if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !WriteFile(file.get(), headers.data(), static_cast<DWORD>(headers.size()), &written, nullptr) ||
      written != headers.size() || !SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(file.get())) {
    return fail(ErrorCodeAndText(CaptureSystemError()));
  }
  if (!file.reset()) return fail(ErrorCodeAndText(CaptureSystemError()));
  return true;
}

}  // namespace pack
