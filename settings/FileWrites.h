// Writing files so that nothing already saved is ever lost.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Writes bytes beside the target under a temporary name of its own (never
// one that may exist), flushes them to disk and renames the file over the
// target, so the old file stays whole if anything fails; keeps the
// target's mode and writes through a link. Returns an empty string on
// success, else the reason.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// Appends bytes and flushes them to disk; bytes that cannot all be written
// (a full disk) are taken back, so the file is as it was. Returns an empty
// string, or the system's reason.
std::string AppendWhole(const std::string& path, std::string_view bytes);

}  // namespace quorvel
