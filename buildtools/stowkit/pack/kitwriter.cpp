#include "pack/kitwriter.h"

#include <algorithm>

#include "formatstring.h"

namespace pack {

namespace {

constexpr size_t kCopyBlock = 1u << 20;
constexpr uint64_t kMegabyte = 1024 * 1024;

uint64_t Align(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

class KitFile {
 public:
  KitFile(OutputFile& out, std::string& errorText) : out_(out), errorText_(errorText) {}
  bool Write(uint64_t offset, const uint8_t* data, size_t size, bool counted = true) {
    SystemError failure;
    if (!out_.WriteAt(offset, data, size, failure)) {
      errorText_ += "\n-- cannot write the kit \n " + CodeAndText(failure);
      return false;
    }
    if (counted) sum_.Add(offset, data, size);
    return true;
  }
  // Zero bytes up to end, so the file reaches it.
  bool ZeroUpTo(uint64_t from, uint64_t end) {
    ByteVector zeros(static_cast<size_t>(std::min<uint64_t>(end - from, kCopyBlock)), 0);
    while (from < end) {
      size_t part = static_cast<size_t>(std::min<uint64_t>(end - from, zeros.size()));
      if (!Write(from, zeros.data(), part, false)) return false;
      from += part;
    }
    return true;
  }
  // Copies size bytes of the stub at from to the kit at to.
  bool Copy(InputFile& stub, uint64_t from, uint64_t to, uint64_t size) {
    ByteVector block(static_cast<size_t>(std::min<uint64_t>(size, kCopyBlock)));
    for (uint64_t done = 0; done < size;) {
      size_t part = static_cast<size_t>(std::min<uint64_t>(size - done, block.size()));
      SystemError failure;
      if (!stub.ReadAt(from + done, block.data(), part, failure)) {
        errorText_ += "\n-- cannot read the stub \n " + CodeAndText(failure);
        return false;
      }
      if (!Write(to + done, block.data(), part)) return false;
      done += part;
    }
    return true;
  }
  const ChecksumSum& sum() const { return sum_; }

 private:
  OutputFile& out_;
  std::string& errorText_;
  ChecksumSum sum_;
};

class MemberWriter : public MemberSink {
 public:
  MemberWriter(const KitRequest& request, KitFile& file, std::vector<ResourceItem>& items,
               size_t firstMember, uint64_t sectionOffset, uint64_t& cursor, uint64_t tailBytes)
      : request_(request), file_(file), items_(items), first_(firstMember), section_(sectionOffset),
        cursor_(cursor), tail_(tailBytes) {}

  bool Begin(size_t index, std::string&) override {
    cursor_ = Align(cursor_, kResourceDataAlignment);
    items_[first_ + index].offset = static_cast<uint32_t>(cursor_);
    return true;
  }
  bool Write(const uint8_t* data, size_t size, std::string& errorText) override {
    uint64_t end = section_ + cursor_ + size + tail_;
    if (end > request_.sizeLimit || cursor_ + size > 0xFFFFFFFFu) {
      errorText += FormatToString(
          "\n-- kit too large: with '%s' the kit passes %u MB, the largest %s kit that starts",
          request_.members[current_].source.path.c_str(),
          static_cast<unsigned>(request_.sizeLimit / kMegabyte), request_.sizeLimitText.c_str());
      return false;
    }
    if (!file_.Write(section_ + cursor_, data, size)) return false;
    cursor_ += size;
    bytes_ += size;
    if (request_.progress) request_.progress(current_, bytes_);
    return true;
  }
  bool End(size_t index, uint64_t size, std::string&) override {
    items_[first_ + index].size = static_cast<uint32_t>(size);
    current_ = index + 1;
    if (request_.progress) request_.progress(current_, bytes_);
    return true;
  }

 private:
  const KitRequest& request_;
  KitFile& file_;
  std::vector<ResourceItem>& items_;
  size_t first_;
  uint64_t section_;
  uint64_t& cursor_;
  uint64_t tail_;
  size_t current_ = 0;
  uint64_t bytes_ = 0;
};

}  // namespace

bool WriteKit(KitPlatform& platform, const KitRequest& request, OutputFile& out, std::string& errorText) {
  const PeImage& stub = request.stubImage;
  std::vector<ResourceItem> items;
  for (const KitResource& r : request.resources) {
    items.push_back(ResourceItem{r.type, r.name, r.language, 0, static_cast<uint32_t>(r.data.size())});
  }
  size_t firstMember = items.size();
  for (const KitMemberEntry& m : request.members) {
    items.push_back(ResourceItem{request.memberType, m.name, request.memberLanguage, 0, 0});
  }
  uint32_t tableSize = 0;
  std::string reason;
  if (!ResourceTableSize(items, tableSize, reason)) {
    errorText += "\n-- " + reason;
    return false;
  }

  KitFile file(out, errorText);
  const uint64_t section = request.plan.resourceOffset;
  // The stub up to its resource section; its headers are written last.
  uint64_t stubEnd = std::min<uint64_t>(section, stub.fileSize);
  if (request.plan.newSection) {
    stubEnd = stub.sizeOfHeaders;
    for (const PeSection& s : stub.sections) {
      if (s.rawSize) stubEnd = std::max<uint64_t>(stubEnd, uint64_t(s.rawOffset) + s.rawSize);
    }
  }
  if (!file.ZeroUpTo(0, stub.sizeOfHeaders)) return false;
  if (!file.Copy(*request.stub, stub.sizeOfHeaders, stub.sizeOfHeaders, stubEnd - stub.sizeOfHeaders)) return false;
  if (!file.ZeroUpTo(stubEnd, section)) return false;

  // Moved sections come after the resource section; they count against the size limit too.
  uint64_t tail = 0;
  for (int index : request.plan.moved) tail += Align(stub.sections[index].rawSize, stub.fileAlignment);

  uint64_t cursor = tableSize;
  for (size_t i = 0; i < request.resources.size(); ++i) {
    cursor = Align(cursor, kResourceDataAlignment);
    items[i].offset = static_cast<uint32_t>(cursor);
    const ByteVector& data = request.resources[i].data;
    if (!file.Write(section + cursor, data.data(), data.size())) return false;
    cursor += data.size();
  }
  std::vector<MemberSource> sources;
  for (const KitMemberEntry& m : request.members) sources.push_back(m.source);
  MemberWriter writer(request, file, items, firstMember, section, cursor, tail);
  if (!StreamMembers(platform, sources, request.jobs, request.limits, writer, errorText)) return false;

  uint32_t sectionSize = static_cast<uint32_t>(cursor);
  ByteVector tables = BuildResourceTables(items, request.plan.resourceRva);
  if (!file.Write(section, tables.data(), tables.size())) return false;
  KitImage kit;
  if (!BuildKitImage(stub, request.plan, sectionSize, kit, reason)) {
    errorText += "\n-- " + reason;
    return false;
  }
  if (kit.fileSize > request.sizeLimit) {
    errorText += FormatToString("\n-- kit too large: %u MB, the largest %s kit that starts is %u MB",
                                static_cast<unsigned>((kit.fileSize + kMegabyte - 1) / kMegabyte),
                                request.sizeLimitText.c_str(),
                                static_cast<unsigned>(request.sizeLimit / kMegabyte));
    return false;
  }
  if (!file.ZeroUpTo(section + sectionSize, section + kit.resourceRawSize)) return false;
  for (const MovedSection& moved : kit.moved) {
    if (!moved.size) continue;
    if (!file.Copy(*request.stub, moved.fromOffset, moved.toOffset, moved.size)) return false;
    if (!file.ZeroUpTo(moved.toOffset + moved.size, Align(moved.toOffset + moved.size, stub.fileAlignment))) {
      return false;
    }
  }
  ChecksumSum sum = file.sum();
  sum.Add(0, kit.headers.data(), kit.headers.size());
  uint32_t checksum = sum.Checksum(kit.fileSize);
  for (int k = 0; k < 4; ++k) kit.headers[stub.ChecksumOffset() + k] = static_cast<uint8_t>(checksum >> (8 * k));
  return file.Write(0, kit.headers.data(), kit.headers.size(), false);
}

}  // namespace pack
