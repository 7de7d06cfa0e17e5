#pragma once
#include <string>
#include <string_view>

namespace qm {

// Conversion between the program's UTF-8 texts and the system code page of the files it shares
// with Windows (the settings file, "Dir.ini"). GB18030 is used for encoding so that every
// character stays representable; plain GBK text is a subset of it and decodes the same.
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

}  // namespace qm
