// What zorvtool check reads of a Java class file: whether it declares a
// static method of a given name and descriptor. The bytes come from the
// packager's jars, so every count and length is checked against them.
#pragma once

#include <string>

namespace zorv::tool {

enum class MethodLookup { found, absent, unreadable };

// Looks through the class's methods table for a static method with exactly
// this name and descriptor (both as the class file spells them).
MethodLookup FindStaticMethod(const std::string& classBytes, const std::string& name, const std::string& descriptor);

}  // namespace zorv::tool
