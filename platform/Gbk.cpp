#include "platform/Gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace qm {
namespace {

// Converts with iconv; bytes that cannot be converted are replaced by '?' so that a damaged
// file never stops the program from reading the rest.
std::string Convert(std::string_view in, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out;
  out.resize(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  while (srcLeft > 0) {
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      size_t used = out.size() - dstLeft;
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
    } else {
      // Invalid or incomplete sequence: skip one byte and mark it.
      ++src;
      --srcLeft;
      if (dstLeft == 0) {
        size_t used = out.size() - dstLeft;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        dstLeft = out.size() - used;
      }
      *dst++ = '?';
      --dstLeft;
    }
  }
  out.resize(out.size() - dstLeft);
  iconv_close(cd);
  return out;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  return Convert(utf8, "GB18030", "UTF-8");
}
std::string GbkToUtf8(std::string_view gbk) {
  return Convert(gbk, "UTF-8", "GB18030");
}

}  // namespace qm
