// A process can create one Java VM in its life, so every case that needs one
// runs in a child: the test program started again with --case=NAME.
//
// The child leaves in its folder what the parent checks besides its exit code
// and output: boxes.txt (one error box a line, "\" and newlines escaped) and
// report.txt (key=value lines written as they become known, since the VM may
// end the process at any point).
#pragma once

#include <string>

namespace zorv::testing {

// The child's exit code: what the launcher's own path returned, unless the VM
// ended the process first.
int RunChildCase(const std::string& name, const std::string& folder);

// Classes compiled for these tests, and the VM they run on.
extern const char* const kTestClassFolder;
extern const char* const kJvmLibrary;
// The same classes in a jar, for class-data archives.
extern const char* const kTestClassJar;
// A JDK 25's VM and the classes only it compiles; both empty when the build
// found no JDK 25.
extern const char* const kJdk25JvmLibrary;
extern const char* const kJdk25ClassFolder;

}  // namespace zorv::testing
