#pragma once

#include <string>
#include <vector>

// UTF-8 form of a NUL-terminated UTF-16 string. Null, empty and
// unconvertible input (such as an unpaired surrogate) give "".
std::string ToUtf8(const wchar_t* utf16);

// The process's command-line arguments after the program's name, in UTF-8
// and in order; an argument that cannot be converted keeps its place as "".
std::vector<std::string> CollectEntryArguments();
