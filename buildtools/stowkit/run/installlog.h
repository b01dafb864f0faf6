// The lines run mode writes to the install log.
#pragma once

#include <cstddef>
#include <string>

namespace run {

std::string LogHeaderLine(const std::string& asctimeText);
std::string ReadControlFileLine(size_t bytes);
std::string CreatedFileLine(const std::string& name, size_t bytes);
std::string CreatedTargetLine(const std::string& target);
std::string DeletingTreeLine(const std::string& path);
std::string DeletingDirectoryLine(const std::string& path);
std::string DeletingFileLine(const std::string& path);
// "-- Running unattended (<reason>)": once, after the header.
std::string UnattendedModeLine(const char* reason);
// A box that was not shown: "-- Unattended: [<caption>] <text>", the text on one line.
std::string UnattendedBoxLine(const std::string& caption, const std::string& text);
// A failure text as a log line of its own: without the line ends around it, ending in one.
std::string FailureLine(const std::string& text);

}  // namespace run
