#pragma once

#include <string>

// Member names reach the stub as stored: UTF-8 (marked or not) or CP932. Valid UTF-8 is kept;
// anything else is decoded as CP932, undecodable bytes becoming U+FFFD.
std::string decodeStoredName(const std::string& bytes);
bool isValidUtf8(const std::string& bytes);
