#pragma once

#include <string>
#include <string_view>

namespace vq::testing {

// The code page 936 bytes of UTF-8 text, converted by the C library: an independent check of the
// program's hand-written byte constants.
std::string gbk(std::string_view utf8);

}  // namespace vq::testing
