// Writes a whole kit in one pass: the stub's bytes before its resource section, the kit's
// resource data (the small resources, then the members as they come from the compression
// threads), the resource tables once every size is known, the sections that follow, and the
// headers with the new checksum. Memory stays bounded: members are never held whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pack/kitimage.h"
#include "pack/kitplatform.h"
#include "pack/memberstream.h"
#include "pack/peimage.h"
#include "pack/resourcesection.h"

namespace pack {

struct KitResource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  ByteVector data;
};

struct KitMemberEntry {
  ResourceKey name;  // upper case, as the platform records it
  MemberSource source;
};

struct KitRequest {
  InputFile* stub = nullptr;
  PeImage stubImage;
  KitImagePlan plan;
  std::vector<KitResource> resources;   // version, icons, icon group, control file
  std::vector<KitMemberEntry> members;  // in the order their data is written
  uint16_t memberLanguage = 0;
  ResourceKey memberType;
  unsigned jobs = 1;
  StreamLimits limits;
  uint64_t sizeLimit = 0;  // largest kit file of the stub's architecture
  std::string sizeLimitText;  // the architecture, for the message
  // Called after each piece of member data: members finished, member bytes written.
  std::function<void(size_t members, uint64_t bytes)> progress;
};

// Writes the kit to out. False with pack-mode messages appended to errorText.
bool WriteKit(KitPlatform& platform, const KitRequest& request, OutputFile& out, std::string& errorText);

}  // namespace pack
