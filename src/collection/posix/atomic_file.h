#pragma once

#include <string>
#include <string_view>

namespace vq {

// Writes `bytes` to a new file beside `path` and renames it over `path` once every byte is written,
// flushed and the file closed. On any failure the new file is removed and an existing `path` is
// left exactly as it was. True on success.
bool replaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace vq
