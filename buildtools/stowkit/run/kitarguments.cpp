#include "run/kitarguments.h"

#include "formatstring.h"

namespace run {

namespace {
// Switch names as text of either width.
template <class Ch>
std::basic_string<Ch> Name(const char* ascii) {
  return std::basic_string<Ch>(ascii, ascii + std::char_traits<char>::length(ascii));
}
}  // namespace

template <class Ch>
BasicKitArguments<Ch> TakeKitArguments(BasicCommandLineCursor<Ch>& cursor) {
  BasicKitArguments<Ch> result;
  cursor.Next();
  if (cursor.IsSwitch() && cursor.IsSwitchNamed(Name<Ch>("log").c_str(), 0)) {
    const Ch* value = cursor.SwitchValue();
    if (!value) {
      cursor.RemoveCurrent();
      value = cursor.Current();
    }
    if (value) {
      result.hasLog = true;
      result.logValue = value;
      cursor.RemoveCurrent();
    }
  }
  cursor.Seek(0);
  // Without even a program name there is nothing to pass on.
  if (!cursor.RemoveCurrent()) return result;
  for (int i = 0; cursor.ArgAt(i); ++i) result.remaining.emplace_back(cursor.ArgAt(i));
  const Ch* raw = cursor.RawCommandLine();
  if (raw) result.text = raw;
  return result;
}

template <class Ch>
bool TakeDebugSwitches(BasicCommandLineCursor<Ch>& cursor) {
  const std::basic_string<Ch> debug = Name<Ch>("debug");
  const std::basic_string<Ch> dbg = Name<Ch>("dbg");
  bool found = false;
  for (const Ch* arg = cursor.Next(); arg; arg = cursor.Next()) {
    if (cursor.IsSwitchNamed(debug.c_str(), 3) || cursor.IsSwitchNamed(dbg.c_str(), 2)) {
      cursor.RemoveCurrent();
      found = true;
    }
  }
  return found;
}

template BasicKitArguments<char> TakeKitArguments(BasicCommandLineCursor<char>&);
template BasicKitArguments<wchar_t> TakeKitArguments(BasicCommandLineCursor<wchar_t>&);
template bool TakeDebugSwitches(BasicCommandLineCursor<char>&);
template bool TakeDebugSwitches(BasicCommandLineCursor<wchar_t>&);

namespace {
const std::string kAngleMarker = "<ARGS>";
const std::string kSquareMarker = "[ARGS]";
}  // namespace

std::string SubstituteKitArguments(const std::string& command, const std::string& arguments) {
  size_t angle = command.find(kAngleMarker);
  size_t square = command.find(kSquareMarker);
  std::string result;
  size_t done = 0;
  auto replace = [&](size_t at, size_t length) {
    result.append(command, done, at - done);
    result += arguments;
    done = at + length;
  };
  // The markers cannot overlap, so replacing the earlier one first keeps both positions.
  if (angle != std::string::npos && (square == std::string::npos || angle < square)) {
    replace(angle, kAngleMarker.size());
    if (square != std::string::npos) replace(square, kSquareMarker.size());
  } else if (square != std::string::npos) {
    replace(square, kSquareMarker.size());
    if (angle != std::string::npos) replace(angle, kAngleMarker.size());
  }
  result.append(command, done, std::string::npos);
  return result;
}

bool TakesKitArguments(const std::string& command) {
  return command.find(kAngleMarker) != std::string::npos ||
         command.find(kSquareMarker) != std::string::npos;
}

int FindUnsafeInterpreterArgument(const std::vector<std::string>& arguments) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i].find_first_of("\"\r\n") != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

std::string UnsafeArgumentMessage(const std::string& argument) {
  return FormatToString("Failure: unsafe kit argument '%s' (quote or line break)", argument.c_str());
}

}  // namespace run
