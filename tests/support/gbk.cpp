#include "support/gbk.h"

#include <iconv.h>

#include <stdexcept>

namespace vq::testing {

std::string gbk(std::string_view utf8) {
  iconv_t converter = iconv_open("CP936", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP936 converter");
  std::string out(utf8.size() * 2 + 1, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outCursor = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &in, &inLeft, &outCursor, &outLeft);
  iconv_close(converter);
  if (result == static_cast<std::size_t>(-1)) throw std::runtime_error("not convertible to CP936");
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace vq::testing
