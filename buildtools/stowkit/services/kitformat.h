// The contract between pack mode and run mode: where a kit keeps its payload.
//
// A kit is a copy of stowkitwin whose resources are exactly: the control file and the members
// (type "KIT_FILES"), the version information, the icon images and one icon group. Member
// data is a gzip stream or the file's bytes as they are; the reader passes everything through
// zlib's gzip reader, which hands data without the gzip magic through unchanged.
#pragma once

namespace kitformat {

constexpr const char* kResourceType = "KIT_FILES";
constexpr const char* kControlFileName = "KIT.INFO";
constexpr unsigned short kLanguage = 2057;          // 0x0809, English (United Kingdom)
constexpr unsigned short kGroupIconLanguage = 0;    // neutral
constexpr unsigned short kGroupIconName = 99;
constexpr unsigned short kVersionResourceName = 1;
constexpr const char* kDefaultIconName = "DEFAULT_ICON";

// Members are looked up as "F%d", n = 1, 2, ...; the scan gives up after this many absent keys.
constexpr int kMemberMissLimit = 100;

// What a kit reads of its control file, in characters: longer values are refused when packing
// and are failures when a kit meets one (a description is only cut, being a title).
constexpr unsigned kDescriptionLimit = 255;
constexpr unsigned kCommandLimit = 1023;      // COMMANDLINE, WINCMDLINE
constexpr unsigned kMemberValueLimit = 518;   // one [FILES] value
constexpr int kDefaultSetupErrorFatal = 123;

constexpr const char* kInfoSection = "INFO";
constexpr const char* kFilesSection = "FILES";

// gzip magic: data that starts with it is decompressed by every runner.
constexpr unsigned char kGzipMagic0 = 0x1F;
constexpr unsigned char kGzipMagic1 = 0x8B;

// Both modes move gzip data in blocks of this size.
constexpr unsigned kGzipBlock = 16384;
// Every read and write is a system call, and an expensive one under Wine: larger stream
// buffers let the blocks pass with a fraction of them.
constexpr unsigned kStreamBuffer = 256 * 1024;

}  // namespace kitformat
