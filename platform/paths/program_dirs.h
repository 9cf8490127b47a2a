// The running program's own folder and the read-only files installed beside it (the tips and
// the help). Callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The folder of the running program file (from /proc/self/exe), with a trailing "/"; empty when
// the system cannot tell.
std::string RunningProgramFolder();

// A read-only file that stands beside the program: `programFolder` + name when that is a regular
// file, else `programFolder` + "../share/tavisto/" + name (the installed layout, with bin/ and
// share/tavisto/ side by side), lexically normalised. nullopt when neither exists.
// `programFolder` ends with "/".
std::optional<std::string> FindBesideProgram(std::string_view name, const std::string& programFolder);

// The same, beside the running program.
std::optional<std::string> FindBesideProgram(std::string_view name);

}  // namespace platform
