#include "vm/output_redirection.h"

#include <cstdio>
#include <vector>

#include "launcher/file_locations.h"
#include "launcher/launcher_settings.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "vm/exception_dialog.h"
#include "vm/vm_host.h"

namespace zorv {
namespace {

// False with the runtime's reason when the stream cannot be made; the
// standard stream then stays as it was.
bool RedirectStream(JNIEnv* env, const std::wstring& fileName, bool append, const char* setter,
                    std::wstring& reason) {
    jstring name = NewJavaString(fileName, env);
    jclass fileClass = name == nullptr ? nullptr : env->FindClass("java/io/FileOutputStream");
    jmethodID fileConstructor =
        fileClass == nullptr ? nullptr : env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;Z)V");
    jobject fileStream = fileConstructor == nullptr
                             ? nullptr
                             : env->NewObject(fileClass, fileConstructor, name, append ? JNI_TRUE : JNI_FALSE);
    jclass printClass = fileStream == nullptr ? nullptr : env->FindClass("java/io/PrintStream");
    jmethodID printConstructor =
        printClass == nullptr ? nullptr : env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");
    jobject printStream = printConstructor == nullptr ? nullptr : env->NewObject(printClass, printConstructor, fileStream);
    jclass systemClass = printStream == nullptr ? nullptr : env->FindClass("java/lang/System");
    jmethodID set = systemClass == nullptr ? nullptr : env->GetStaticMethodID(systemClass, setter, "(Ljava/io/PrintStream;)V");
    if (set != nullptr) env->CallStaticVoidMethod(systemClass, set, printStream);
    jthrowable failure = env->ExceptionOccurred();
    if (failure != nullptr) {
        env->ExceptionClear();
        // The first line of the trace: the exception and its message.
        reason = DescribeException(failure, env);
        reason = reason.substr(0, reason.find_first_of(L"\r\n"));
        env->DeleteLocalRef(failure);
    }
    for (jobject local : {static_cast<jobject>(name), static_cast<jobject>(fileClass), fileStream,
                          static_cast<jobject>(printClass), printStream, static_cast<jobject>(systemClass)}) {
        if (local != nullptr) env->DeleteLocalRef(local);
    }
    return set != nullptr && failure == nullptr;
}

// One line for whoever watches the standard error or the trace, instead of
// the runtime's stack trace; the stream keeps its output.
void RedirectOrSay(Platform& platform, JNIEnv* env, const wchar_t* key, const std::wstring& file, bool append,
                   const char* setter, const wchar_t* fallback) {
    if (file.empty()) return;
    EnsureFolders(platform, file);
    const std::wstring vmPath = platform.files().VmPath(file);
    std::wstring reason;
    if (RedirectStream(env, vmPath, append, setter, reason)) return;
    std::wstring line = key;
    line += L" \"";
    line += vmPath;
    line += L"\" cannot be opened (";
    line += reason;
    line += L"): ";
    line += fallback;
    if (platform.trace) platform.trace->Line(L"vm: " + line);
    std::fputs(platform.environment().ToAnsi(line + L"\n").c_str(), stderr);
    std::fflush(stderr);
}

std::vector<std::wstring> SplitAtBackslashes(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find(L'\\', start);
        parts.push_back(path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
        if (slash == std::wstring::npos) return parts;
        start = slash + 1;
    }
}

}  // namespace

void ApplyTimePicture(Platform& platform, std::wstring& name, const LocalTime& time) {
    std::size_t first = name.find(L'%');
    if (first == std::wstring::npos) return;
    std::size_t last = name.rfind(L'%');
    std::wstring picture = first == last ? std::wstring() : name.substr(first + 1, last - first - 1);
    std::wstring milliseconds = DecimalText(time.milliseconds);
    for (std::size_t at = picture.find(L'L'); at != std::wstring::npos; at = picture.find(L'L', at + milliseconds.size())) {
        picture.replace(at, 1, milliseconds);
    }
    std::wstring formatted =
        platform.processes().FormatDatePicture(platform.processes().FormatTimePicture(picture, time), time);
    name = name.substr(0, first) + formatted + name.substr(last + 1);
}

bool EnsureFolders(Platform& platform, const std::wstring& path) {
    bool isUnc = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
    if (IsAbsolutePath(path, platform.Conventions()) && platform.files().FileExists(path)) return true;
    std::vector<std::wstring> parts = SplitAtBackslashes(path);
    // A drive or the root is never created. A relative path's first folder
    // is, or a name such as logs\app.log would lose all of its output.
    bool firstIsFolder = !IsAbsolutePath(path, platform.Conventions()) && !parts[0].empty();
    std::wstring folder;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (i > 0) folder += L'\\';
        folder += parts[i];
        if (i == 0 && !firstIsFolder) continue;
        const SystemError error = platform.files().CreateFolder(folder);
        if (error.Failed() && !error.Is(ErrorKind::alreadyExists) && !isUnc) return false;
    }
    return true;
}

void RedirectStandardStreams(Platform& platform, JNIEnv* env, const OutputSettings& output) {
    std::wstring outputFile = output.outputFile;
    std::wstring errorFile = output.errorFile;
    if (outputFile.find(L'%') != std::wstring::npos || errorFile.find(L'%') != std::wstring::npos) {
        LocalTime now = platform.processes().CurrentLocalTime();
        if (outputFile.find(L'%') != std::wstring::npos) ApplyTimePicture(platform, outputFile, now);
        if (errorFile.find(L'%') != std::wstring::npos) ApplyTimePicture(platform, errorFile, now);
    }
    RedirectOrSay(platform, env, L"Output File", outputFile, output.appendOutput, "setOut",
                  L"the output stays on standard output");
    RedirectOrSay(platform, env, L"Error File", errorFile, output.appendErrors, "setErr",
                  L"errors stay on standard error");
}

}  // namespace zorv
