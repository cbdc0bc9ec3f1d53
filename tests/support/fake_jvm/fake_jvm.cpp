// Test double for jvm.dll. The launcher loads it exactly like a real runtime; every call is
// appended to a log so tests can assert on what the launcher did, in which order.
//
// Classes: java/lang/String, System, io/FileOutputStream, io/PrintStream (over either stream),
// io/ByteArrayOutputStream, the LauncherHelper and FAKEJVM_CLASSES. The trace of an uncaught
// exception is read the way the launcher does it on a real VM: printStackTrace(PrintStream) of
// the exception's own class (GetObjectClass) into a PrintStream over a ByteArrayOutputStream,
// whose toString gives the text. The dialog's Stop then reaches System.exit(-1), which ends the
// process with exit code -1 (0xFFFFFFFF) after the exit hook.
//
// Environment (scripting is read when JNI_CreateJavaVM runs, FAKEJVM_LOG when the DLL loads):
//   FAKEJVM_LOG            UTF-8 log file, appended one line per event
//   FAKEJVM_LOG_ENV        comma-separated variable names to log at create time
//   FAKEJVM_CREATE_RESULT  value returned by JNI_CreateJavaVM (default 0)
//   FAKEJVM_DEFAULT_STACK  javaStackSize reported by JNI_GetDefaultJavaVMInitArgs (default 1048576)
//   FAKEJVM_CLASSES        comma-separated application classes (slash form) that exist
//   FAKEJVM_HELPER         yes (default) | no (no LauncherHelper) | exit (unknown main class:
//                          the helper calls System.exit(1) like the real one does)
//   FAKEJVM_MAIN           return (default) | throw | exit:N | abort | nomain | nomain_nopending
//                          throw: main throws java/lang/RuntimeException "thrown by <class>.main"
//                          (<class> in dot form), left pending for the launcher
//   FAKEJVM_TRACE          what printStackTrace of main's exception prints; escapes \n \r \t \0
//                          and \\ are expanded. Set but empty: prints nothing (no dialog). Unset:
//                            java.lang.RuntimeException: thrown by <class>.main\n
//                            \tat <class>.main(Main.java)\n
//                          Any other exception prints "<class in dot form>: <message>\n".
//   FAKEJVM_TRACE_FAULT    print_throws: printStackTrace prints the trace's first line, then throws
//                          java/lang/IllegalStateException "printStackTrace failed"
//                          tostring_null: ByteArrayOutputStream.toString returns null, nothing pending
//                          tostring_throws: it throws java/lang/OutOfMemoryError "toString failed"
//   FAKEJVM_MAIN_WAIT      ms that main waits, holding no lock, for the auto-reset event named by
//                          FAKEJVM_PAUSE before FAKEJVM_MAIN's mode acts: an application that
//                          stays up while a test talks to it, until the test lets it end
//   FAKEJVM_MAIN_FORM      unset (default): a JDK 17 helper, without the fields below; main is
//                          the static main(String[]). static | static_noargs | instance |
//                          instance_noargs: a JDK 25 helper whose static boolean fields
//                          isStaticMain and noArgMain tell that form, and main exists only in
//                          it; the instance forms also give the classes a constructor "()V"
//   FAKEJVM_SECONDARY      none (default) | void | int | both: the static secondaryMain forms
//                          "([Ljava/lang/String;)V" and "([Ljava/lang/String;)I" of the classes
//                          of FAKEJVM_CLASSES. The int form returns the sum of its arguments read
//                          as decimal integers (anything else counts 0), so that simultaneous
//                          callers can tell their replies apart. exit: the int form, which
//                          instead ends the process with System.exit(that sum) on its own thread
//   FAKEJVM_SECONDARY_SLEEP  ms that secondaryMain takes, holding no lock, before it returns
//   FAKEJVM_STOP           args | noargs | never | throw: the classes of FAKEJVM_CLASSES have a
//                          static stop(String[]) (stop() with noargs) that sets the event of
//                          FAKEJVM_PAUSE, so that a main waiting for it returns; never: it
//                          does not return; throw: it throws IllegalStateException "thrown by stop".
//                          Unset: no class has a stop method
// Variables missing from the environment are also looked up in fakejvm.env beside the double
// (NAME=VALUE lines, UTF-8): a service's environment is the service manager's, not the test's.
//   FAKEJVM_WRITE_OUT/ERR  text main prints to System.out / System.err (file or std handle)
//   FAKEJVM_ECHO_INPUT     yes: main then copies its standard input to its standard output
//   FAKEJVM_LOAD_BY_NAME   comma-separated library names main loads by name alone, as a JNI
//                          library's dependencies are: logs load_by_name <name> found|not_found
//   FAKEJVM_LOG_QPC        yes: also log QueryPerformanceCounter readings, for timing benches
//   FAKEJVM_LOG_PRIORITY   yes: log the process's priority class at create time
// Ahead-of-time cache options act as on a runtime of JDK 24 and later: with -XX:AOTMode=record the
// file of -XX:AOTConfiguration is written when the VM ends (destroy or System.exit); with
// -XX:AOTMode=create the file of -XX:AOTCache is written and JNI_CreateJavaVM ends the process
// with exit code 0, as HotSpot does once the cache is written.
//
//   FAKEJVM_PAUSE_AT       comma-separated points (create, main, destroy) at which the double
//                          logs "pause <point>" and waits, at most 30 s, until the test sets the
//                          auto-reset event named by FAKEJVM_PAUSE: a test looks at the launcher's
//                          windows meanwhile. create: before the VM exists; main: main is running;
//                          destroy: like an application whose windows are still open.
//
// Log lines (control characters in any line are written as \xHH so lines stay lines):
//   load <dll path>                       unload reason=free|exit
//   default_args version=0x%08x
//   create version=0x%08x nOptions=N ignoreUnrecognized=0|1
//   option <string>                       option abort|exit|vfprintf hook=set|null
//   thread_stack reserved=<bytes>         env NAME=value | env NAME unset       cwd <dir>
//   priority_class 0x<hex>                (FAKEJVM_LOG_PRIORITY)
//   find_class <name>                     find_class_boot <name>
//   get_method <class> <name> <sig>       get_static_method <class> <name> <sig>
//   new_string <utf8>                     file_open append=0|1 <path>   file_open_failed <path>
//   call_static_object <class>.<name> [<arg>...]   (checkAndLoadMain: <bool> <int> <string>;
//                                         it finds a class only when asked the way the launcher
//                                         must ask: true, mode 1 and the dotted name, or mode 2
//                                         (a jar) or 3 (a module), which give the first class of
//                                         FAKEJVM_CLASSES; Class.getName gives its dotted name)
//   call_static_void <class>.<name>      call_static_int <class>.<name>
//   main_args count=N, then arg[i]=<utf8> or arg[i] null      main_wait_end
//   main_args none                        (a main without parameters)
//   get_static_field <class> <name> <sig>  get_static_boolean <class>.<name>=0|1
//   new_object <class>                    (an application class, for its instance main)
//   secondary_args count=N, then secondary_arg[i]=<utf8>; once it returns:
//   secondary_return <int>|void          (lines of simultaneous calls interleave)
//   stop_args count=N, then stop_arg[i]=<utf8> | stop_args none; then stop_return | stop_never_returns
//   set_out|set_err append=0|1 <path>     set_out|set_err null|other
//   write_out|write_err file|std          system_exit N
//   echo_input <bytes copied>
//   exit_hook N|null                      abort_hook set|null
//   throw <class> <message>               exception_describe <class>: <message> | none
//   throw_object <class> <message>        (JNI Throw: an existing exception made pending again)
//   get_object_class <class>              new_buffer      new_print_stream buffer charset=UTF-8
//   call_void <class>.<name>              call_object <class>.<name>   (instance methods: the
//                                         exception's printStackTrace, the buffer's toString)
//   exception_clear                       attach | attach_daemon      get_env version=.. result=N
//   detach | detach not_attached          destroy     destroy_wait threads=N
//   caller_thread loader|other            after create and destroy: the thread that loaded the DLL?
//   aot_recorded <path>                   aot_created <path>   (the files of the options above)
//   qpc create=<count> (entry of JNI_CreateJavaVM)   qpc main_return=<count>   (FAKEJVM_LOG_QPC)
// Faults by the caller, all upper case so a test can assert none occurred:
//   UNEXPECTED slot N / UNEXPECTED vm_slot N   (then ExitProcess(97))
//   JNI_CALL_WITH_PENDING_EXCEPTION <fn>  JNI_CALL_AFTER_DESTROY <fn>  JNI_BAD_ENV <fn>
//   JNI_ENV_DETACHED <fn>  JNI_ENV_WRONG_THREAD <fn>  JNI_BAD_REF <fn>  JNI_DELETED_REF <fn>
//   JNI_LOCAL_REF_WRONG_THREAD <fn>  JNI_BAD_ARGUMENT <fn>  JNI_BAD_METHOD_ID <fn>
//   JNI_WRONG_METHOD <fn> <class>.<name>  JNI_BAD_VM <fn>  JNI_BAD_RELEASE <fn>  CREATE_AGAIN
//   LOCAL_REFS_OVER_CAPACITY 16 (a thread holds more live local references than JNI promises
//   without EnsureLocalCapacity; logged each time the count climbs past it)
//   DETACH_WITH_PENDING_EXCEPTION <class>  DESTROY_TIMEOUT threads=N  LEAKED_UTF_CHARS N
//   (DETACH_WITH_PENDING_EXCEPTION is how the real VM comes to report an uncaught exception: it
//   is expected once after main threw, with no dialog or after Ignore.)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern "C" JNIEXPORT jclass JNICALL JVM_FindClassFromBootLoader(JNIEnv* env, const char* name);

namespace {

// ---- text ----------------------------------------------------------------------------------

// Modified UTF-8 is what GetStringUTFChars hands out; otherwise lone surrogates are kept as
// three-byte sequences so the log shows exactly what the launcher passed.
std::string Utf8(const std::wstring& s, bool modified = false) {
    std::string o;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned c = static_cast<unsigned short>(s[i]);
        unsigned next = i + 1 < s.size() ? static_cast<unsigned short>(s[i + 1]) : 0;
        if (!modified && c >= 0xD800 && c < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        }
        static const unsigned lead[] = {0x00, 0xC0, 0xE0, 0xF0};
        int tail = c < 0x80 && !(modified && c == 0) ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        o += static_cast<char>(lead[tail] | (c >> (6 * tail)));
        for (int k = tail - 1; k >= 0; --k) o += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return o;
}

// fakejvm.env beside the double: NAME=VALUE lines (UTF-8) for a process
// whose environment the test does not choose, such as a service's.
const std::map<std::wstring, std::wstring>& FileVariables() {
    static const std::map<std::wstring, std::wstring> variables = [] {
        std::map<std::wstring, std::wstring> read;
        HMODULE self = nullptr;
        wchar_t path[MAX_PATH] = L"";
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(&FileVariables), &self) ||
            GetModuleFileNameW(self, path, MAX_PATH) == 0)
            return read;
        std::wstring file = path;
        file = file.substr(0, file.find_last_of(L'\\') + 1) + L"fakejvm.env";
        HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return read;
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
        CloseHandle(h);
        std::istringstream lines(bytes);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t equals = line.find('=');
            if (equals == std::string::npos || equals == 0) continue;
            int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
            size_t at = wide.find(L'=');
            read[wide.substr(0, at)] = wide.substr(at + 1);
        }
        return read;
    }();
    return variables;
}

bool EnvVar(const wchar_t* name, std::wstring& value) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) {
        value.clear();
        if (GetLastError() != ERROR_ENVVAR_NOT_FOUND) return true;
        auto found = FileVariables().find(name);
        if (found == FileVariables().end()) return false;
        value = found->second;
        return true;
    }
    std::vector<wchar_t> buf(n);
    n = GetEnvironmentVariableW(name, buf.data(), n);
    value.assign(buf.data(), n);
    return true;
}

std::wstring EnvOr(const wchar_t* name, const wchar_t* fallback) {
    std::wstring v;
    return EnvVar(name, v) && !v.empty() ? v : fallback;
}

std::vector<std::wstring> SplitCommas(const std::wstring& s) {
    std::vector<std::wstring> parts;
    std::wstringstream in(s);
    for (std::wstring p; std::getline(in, p, L',');)
        if (!p.empty()) parts.push_back(p);
    return parts;
}

std::string Hex(jint v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lx", static_cast<unsigned long>(v));
    return buf;
}

// ---- log -----------------------------------------------------------------------------------

std::wstring logPath;
DWORD loaderThread = 0;

// Opening per line keeps the log complete across ExitProcess and crashes, and needs no lock:
// an append-mode write lands whole.
void LogLine(const std::string& raw) {
    if (logPath.empty()) return;
    std::string line;
    for (unsigned char c : raw) {
        char esc[8] = {static_cast<char>(c)};
        if (c < 0x20 || c == 0x7F) std::snprintf(esc, sizeof esc, "\\x%02X", c);
        line += esc;
    }
    line += '\n';
    HANDLE h = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
}

template <class... T>
void Say(const T&... parts) {
    std::ostringstream o;
    (o << ... << parts);
    LogLine(o.str());
}

// The launcher loads the library on its main thread, so this tells that thread from the VM's.
void LogCallerThread() { Say("caller_thread ", GetCurrentThreadId() == loaderThread ? "loader" : "other"); }

// Read before the lock and the other lines, so a bench sees the moment of the call.
void LogQpc(const char* event) {
    std::wstring enabled;
    if (!EnvVar(L"FAKEJVM_LOG_QPC", enabled) || enabled != L"yes") return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    Say("qpc ", event, "=", static_cast<long long>(now.QuadPart));
}

void PauseAt(const char* point) {
    std::wstring name, points;
    if (!EnvVar(L"FAKEJVM_PAUSE", name) || name.empty() || !EnvVar(L"FAKEJVM_PAUSE_AT", points)) return;
    bool listed = false;
    for (const std::wstring& p : SplitCommas(points)) listed = listed || Utf8(p) == point;
    if (!listed) return;
    Say("pause ", point);
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str())) {
        WaitForSingleObject(event, 30000);
        CloseHandle(event);
    }
}

// ---- object model --------------------------------------------------------------------------

enum class Kind { classObject, string, chars, array, fileOut, buffer, print, throwable, instance };

struct Obj {
    explicit Obj(Kind k, std::string n = {}, std::wstring t = {}) : kind(k), name(std::move(n)), text(std::move(t)) {}
    Kind kind;
    std::string name;    // Class: its name; Array: element class; Throwable, Instance: its class
    std::wstring text;   // String, char[], FileOutputStream path, Throwable message, buffer contents
    std::wstring trace;  // Throwable: what its printStackTrace prints
    std::vector<Obj*> elems;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool append = false;
    Obj* target = nullptr;  // PrintStream's FileOutputStream or ByteArrayOutputStream
};

// Handles are distinct from objects so deleted or foreign references can be told apart.
struct Ref {
    Obj* obj;
    DWORD thread;
    bool live;
};

struct Method {
    std::string cls, name, sig;
    bool isStatic;
};

enum class Deferred { none, exit, abort };

struct ThreadEnv : JNIEnv_ {
    DWORD tid = 0;
    bool attached = false, daemon = false;
    Obj* pending = nullptr;
    Deferred deferred = Deferred::none;
    jint exitCode = 0;
};

const char* const kBuiltinClasses[] = {"java/lang/String", "java/lang/System", "java/io/FileOutputStream",
                                       "java/io/PrintStream", "java/io/ByteArrayOutputStream"};
const char* const kHelper = "sun/launcher/LauncherHelper";
const char* const kPrintStackTrace = "printStackTrace";
const char* const kPrintStackTraceSig = "(Ljava/io/PrintStream;)V";
const Method kKnownMethods[] = {
    {"java/lang/String", "<init>", "([C)V", false},
    {"java/io/FileOutputStream", "<init>", "(Ljava/lang/String;Z)V", false},
    {"java/io/PrintStream", "<init>", "(Ljava/io/OutputStream;)V", false},
    {"java/io/ByteArrayOutputStream", "<init>", "()V", false},
    {"java/io/PrintStream", "<init>", "(Ljava/io/OutputStream;ZLjava/lang/String;)V", false},
    {"java/io/ByteArrayOutputStream", "toString", "(Ljava/lang/String;)Ljava/lang/String;", false},
    {"java/lang/System", "setOut", "(Ljava/io/PrintStream;)V", true},
    {"java/lang/System", "setErr", "(Ljava/io/PrintStream;)V", true},
    {"java/lang/System", "exit", "(I)V", true},
    {kHelper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;", true},
    {"java/lang/Class", "getName", "()Ljava/lang/String;", false},
};

struct State {
    std::recursive_mutex mu;
    JNINativeInterface_ envTable;
    JNIInvokeInterface_ vmTable;
    JavaVM_ vm;
    std::map<DWORD, ThreadEnv*> threads;
    std::set<std::string> bootClasses, appClasses;
    std::string firstAppClass;  // of FAKEJVM_CLASSES
    std::set<std::string> throwableClasses;  // every class an exception was raised with
    std::map<std::string, Obj*> classObjs;
    std::set<Ref*> refs;
    std::map<DWORD, int> liveLocalRefs;  // by thread
    std::map<std::string, Method*> methods;
    std::set<Method*> methodIds;
    std::set<const char*> utfChars;
    bool created = false, destroyed = false;
    void(JNICALL* exitHook)(jint) = nullptr;
    void(JNICALL* abortHook)() = nullptr;
    Obj *out = nullptr, *err = nullptr;  // PrintStreams given to System.setOut / setErr
    std::wstring helper, mainMode, writeOut, writeErr, echoInput, secondaryForms, stopForm;
    std::wstring mainForm;  // FAKEJVM_MAIN_FORM
    DWORD mainWaitMs = 0, secondarySleepMs = 0;
    std::wstring trace, traceFault;
    bool traceScripted = false;
    std::string aotRecording;  // written when the VM ends
};
State state;
ThreadEnv strayEnv;  // stands in for an unknown env so a faulty call can still be logged

Obj* ClassObj(const std::string& name) {
    Obj*& o = state.classObjs[name];
    if (!o) o = new Obj(Kind::classObject, name);
    return o;
}

std::string ClassOf(const Obj* o) {
    switch (o->kind) {
        case Kind::classObject:
            return "java/lang/Class";
        case Kind::string:
            return "java/lang/String";
        case Kind::chars:
            return "[C";
        case Kind::array:
            return "[L" + o->name + ";";
        case Kind::fileOut:
            return "java/io/FileOutputStream";
        case Kind::buffer:
            return "java/io/ByteArrayOutputStream";
        case Kind::print:
            return "java/io/PrintStream";
        case Kind::throwable:
            return o->name;
        case Kind::instance:
            return o->name;
    }
    return "?";
}

std::string SwapSeparator(std::string s, char from, char to) {
    for (char& c : s)
        if (c == from) c = to;
    return s;
}
std::string Dotted(const std::string& s) { return SwapSeparator(s, '/', '.'); }

// What JNI guarantees a native frame without EnsureLocalCapacity, which the launcher never
// asks for: a launcher that needs more has leaked references, however big the real VM's
// tables happen to be.
const int kLocalRefCapacity = 16;

template <class J = jobject>
J NewLocalRef(Obj* o) {
    if (!o) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(state.mu);
    Ref* r = new Ref{o, GetCurrentThreadId(), true};
    state.refs.insert(r);
    if (++state.liveLocalRefs[r->thread] == kLocalRefCapacity + 1) Say("LOCAL_REFS_OVER_CAPACITY ", kLocalRefCapacity);
    return static_cast<J>(reinterpret_cast<jobject>(r));
}

Obj* Deref(jobject h, const char* fn) {
    if (!h) return nullptr;
    Ref* r = reinterpret_cast<Ref*>(h);
    if (!state.refs.count(r)) return Say("JNI_BAD_REF ", fn), nullptr;
    if (!r->live)
        Say("JNI_DELETED_REF ", fn);
    else if (r->thread != GetCurrentThreadId())
        Say("JNI_LOCAL_REF_WRONG_THREAD ", fn);
    return r->obj;
}

// A null or wrongly typed argument is a caller fault the real VM would crash or throw on.
Obj* As(jobject h, Kind k, const char* fn) {
    Obj* o = Deref(h, fn);
    if (!o || o->kind != k) return Say("JNI_BAD_ARGUMENT ", fn), nullptr;
    return o;
}

std::wstring Widen(const char* s) {
    std::wstring w;
    for (; s && *s; ++s) w += static_cast<wchar_t>(static_cast<unsigned char>(*s));
    return w;
}

void Raise(ThreadEnv* t, const std::string& cls, const std::wstring& msg) {
    Say("throw ", cls, " ", Utf8(msg));
    t->pending = new Obj(Kind::throwable, cls, msg);
    t->pending->trace = Widen(Dotted(cls).c_str()) + L": " + msg + L"\n";
    state.throwableClasses.insert(cls);
}

ThreadEnv* Check(JNIEnv* env, const char* fn, bool allowPending) {
    if (state.destroyed) Say("JNI_CALL_AFTER_DESTROY ", fn);
    ThreadEnv* t = nullptr;
    for (auto& kv : state.threads)
        if (static_cast<JNIEnv*>(kv.second) == env) t = kv.second;
    if (!t) return Say("JNI_BAD_ENV ", fn), &strayEnv;
    if (!t->attached)
        Say("JNI_ENV_DETACHED ", fn);
    else if (t->tid != GetCurrentThreadId())
        Say("JNI_ENV_WRONG_THREAD ", fn);
    if (t->pending && !allowPending) Say("JNI_CALL_WITH_PENDING_EXCEPTION ", fn);
    return t;
}

struct Call {
    std::lock_guard<std::recursive_mutex> lock{state.mu};
    ThreadEnv* t;
    Call(JNIEnv* env, const char* fn, bool allowPending = false) : t(Check(env, fn, allowPending)) {}
};

Method* MethodFromId(jmethodID id, const char* fn) {
    Method* m = reinterpret_cast<Method*>(id);
    return state.methodIds.count(m) ? m : (Say("JNI_BAD_METHOD_ID ", fn), nullptr);
}

bool SupportedVersion(jint v) {
    return v == JNI_VERSION_1_2 || v == JNI_VERSION_1_4 || v == JNI_VERSION_1_6 || v == JNI_VERSION_1_8 ||
           v == JNI_VERSION_9 || v == JNI_VERSION_10;
}

// ---- exit paths ----------------------------------------------------------------------------

void WriteAotRecording() {
    if (state.aotRecording.empty()) return;
    if (std::FILE* file = std::fopen(state.aotRecording.c_str(), "wb")) {
        std::fputs("fake AOT configuration\n", file);
        std::fclose(file);
    }
    Say("aot_recorded ", state.aotRecording);
    state.aotRecording.clear();
}

// Runs with no lock held: the launcher's hook may do anything, including calling back in.
[[noreturn]] void VmExit(jint code) {
    WriteAotRecording();
    auto hook = state.exitHook;
    Say("exit_hook ", hook ? std::to_string(code) : std::string("null"));
    if (hook) hook(code);
    ExitProcess(static_cast<UINT>(code));
}

[[noreturn]] void VmAbort() {
    auto hook = state.abortHook;
    Say("abort_hook ", hook ? "set" : "null");
    if (hook) hook();
    ExitProcess(3);
}

void RunDeferred(ThreadEnv* t) {
    if (t->deferred == Deferred::exit) VmExit(t->exitCode);
    if (t->deferred == Deferred::abort) VmAbort();
}

void Emit(Obj* stream, DWORD stdId, const std::wstring& text, const char* what) {
    if (text.empty()) return;
    HANDLE h = stream && stream->target ? stream->target->file : GetStdHandle(stdId);
    Say(what, stream ? " file" : " std");
    std::string bytes = Utf8(text);
    DWORD written = 0;
    if (h && h != INVALID_HANDLE_VALUE) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Standard input copied to standard output until its end, as `cat` would.
void EchoInput() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char buffer[4096];
    DWORD read = 0, written = 0;
    unsigned long long total = 0;
    while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        WriteFile(out, buffer, read, &written, nullptr);
        total += read;
    }
    Say("echo_input ", total);
}

// ---- JNIEnv --------------------------------------------------------------------------------

jint JNICALL GetJniVersion(JNIEnv* env) {
    Call c(env, "GetVersion");
    return JNI_VERSION_10;
}

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    Call c(env, "FindClass");
    std::string n = name ? name : "";
    Say("find_class ", n);
    if (state.bootClasses.count(n) || state.appClasses.count(n)) return NewLocalRef<jclass>(ClassObj(n));
    Raise(c.t, "java/lang/NoClassDefFoundError", Widen(name));
    return nullptr;
}

jmethodID LookupMethod(JNIEnv* env, jclass cls, const char* name, const char* sig, bool isStatic) {
    const char* fn = isStatic ? "GetStaticMethodID" : "GetMethodID";
    Call c(env, fn);
    Obj* k = As(cls, Kind::classObject, fn);
    if (!k || !name || !sig) return nullptr;
    Say(isStatic ? "get_static_method " : "get_method ", k->name, " ", name, " ", sig);
    bool known = false;
    for (const Method& m : kKnownMethods)
        known |= m.cls == k->name && m.name == name && m.sig == sig && m.isStatic == isStatic;
    known |= !isStatic && state.throwableClasses.count(k->name) && std::strcmp(name, kPrintStackTrace) == 0 &&
             std::strcmp(sig, kPrintStackTraceSig) == 0;
    bool formStatic = state.mainForm.empty() || state.mainForm.compare(0, 6, L"static") == 0;
    bool formNoArgs =
        state.mainForm.size() > 7 && state.mainForm.compare(state.mainForm.size() - 7, 7, L"_noargs") == 0;
    bool isMain = isStatic == formStatic && state.appClasses.count(k->name) && std::strcmp(name, "main") == 0 &&
                  std::strcmp(sig, formNoArgs ? "()V" : "([Ljava/lang/String;)V") == 0;
    known |= !isStatic && !formStatic && state.appClasses.count(k->name) && std::strcmp(name, "<init>") == 0 &&
             std::strcmp(sig, "()V") == 0;
    if (isMain && state.mainMode == L"nomain_nopending") return nullptr;
    bool isSecondary = isStatic && state.appClasses.count(k->name) && std::strcmp(name, "secondaryMain") == 0;
    if (isSecondary) {
        bool isVoid = std::strcmp(sig, "([Ljava/lang/String;)V") == 0;
        bool isInt = std::strcmp(sig, "([Ljava/lang/String;)I") == 0;
        known = (isVoid && (state.secondaryForms == L"void" || state.secondaryForms == L"both")) ||
                (isInt && (state.secondaryForms == L"int" || state.secondaryForms == L"both" ||
                           state.secondaryForms == L"exit"));
    }
    if (isStatic && state.appClasses.count(k->name) && std::strcmp(name, "stop") == 0) {
        known = state.stopForm == L"noargs" ? std::strcmp(sig, "()V") == 0
                                            : !state.stopForm.empty() && std::strcmp(sig, "([Ljava/lang/String;)V") == 0;
    }
    if (!known && !(isMain && state.mainMode != L"nomain")) {
        Raise(c.t, "java/lang/NoSuchMethodError", Widen(name));
        return nullptr;
    }
    Method*& m = state.methods[k->name + "." + name + sig];
    if (!m) {
        m = new Method{k->name, name, sig, isStatic};
        state.methodIds.insert(m);
    }
    return reinterpret_cast<jmethodID>(m);
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return LookupMethod(env, cls, name, sig, false);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return LookupMethod(env, cls, name, sig, true);
}

// Decodes C varargs after default promotions: everything narrower than int arrives as int,
// float as double.
std::vector<jvalue> ReadArgs(jmethodID id, va_list ap) {
    std::lock_guard<std::recursive_mutex> lock(state.mu);
    std::vector<jvalue> v;
    Method* m = state.methodIds.count(reinterpret_cast<Method*>(id)) ? reinterpret_cast<Method*>(id) : nullptr;
    for (const char* p = m ? m->sig.c_str() + 1 : ")"; *p && *p != ')'; ++p) {
        jvalue x{};
        switch (*p) {
            case 'Z':
                x.z = static_cast<jboolean>(va_arg(ap, int));
                break;
            case 'B':
                x.b = static_cast<jbyte>(va_arg(ap, int));
                break;
            case 'C':
                x.c = static_cast<jchar>(va_arg(ap, int));
                break;
            case 'S':
                x.s = static_cast<jshort>(va_arg(ap, int));
                break;
            case 'I':
                x.i = static_cast<jint>(va_arg(ap, int));
                break;
            case 'J':
                x.j = va_arg(ap, jlong);
                break;
            case 'F':
                x.f = static_cast<jfloat>(va_arg(ap, double));
                break;
            case 'D':
                x.d = va_arg(ap, double);
                break;
            default:
                while (*p == '[') ++p;
                if (*p == 'L')
                    while (*p && *p != ';') ++p;
                x.l = va_arg(ap, jobject);
        }
        v.push_back(x);
    }
    v.resize(v.size() + 1);  // never hand out an empty vector's data()
    return v;
}

jobject NewObjectA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a, const char* fn) {
    Call c(env, fn);
    Obj* k = As(cls, Kind::classObject, fn);
    Method* m = MethodFromId(id, fn);
    if (!k || !m) return nullptr;
    if (m->isStatic || m->name != "<init>" || m->cls != k->name) {
        Say("JNI_WRONG_METHOD ", fn, " ", m->cls, ".", m->name);
        return nullptr;
    }
    if (m->cls == "java/lang/String") {
        Obj* chars = As(a[0].l, Kind::chars, fn);
        if (!chars) return Raise(c.t, "java/lang/NullPointerException", L""), nullptr;
        Say("new_string ", Utf8(chars->text));
        return NewLocalRef(new Obj(Kind::string, "", chars->text));
    }
    if (m->cls == "java/io/FileOutputStream") {
        Obj* path = As(a[0].l, Kind::string, fn);
        if (!path) return Raise(c.t, "java/lang/NullPointerException", L""), nullptr;
        bool append = a[1].z != JNI_FALSE;
        HANDLE h = CreateFileW(path->text.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            Say("file_open_failed ", Utf8(path->text));
            Raise(c.t, "java/io/FileNotFoundException", path->text);
            return nullptr;
        }
        Say("file_open append=", append ? 1 : 0, " ", Utf8(path->text));
        Obj* o = new Obj(Kind::fileOut, "", path->text);
        o->file = h;
        o->append = append;
        return NewLocalRef(o);
    }
    if (state.appClasses.count(m->cls)) {
        Say("new_object ", m->cls);
        return NewLocalRef(new Obj(Kind::instance, m->cls));
    }
    if (m->cls == "java/io/ByteArrayOutputStream") {
        Say("new_buffer");
        return NewLocalRef(new Obj(Kind::buffer));
    }
    Obj* target = Deref(a[0].l, fn);
    if (!target) return Raise(c.t, "java/lang/NullPointerException", L""), nullptr;
    if (target->kind != Kind::fileOut && target->kind != Kind::buffer) return Say("JNI_BAD_ARGUMENT ", fn), nullptr;
    if (target->kind == Kind::buffer) {
        // The trace's characters survive only when both ends of the buffer name UTF-8.
        Obj* charset = m->sig == "(Ljava/io/OutputStream;ZLjava/lang/String;)V" ? Deref(a[2].l, fn) : nullptr;
        if (!charset || charset->kind != Kind::string || charset->text != L"UTF-8")
            return Say("JNI_BAD_ARGUMENT ", fn, " charset"), nullptr;
        Say("new_print_stream buffer charset=UTF-8");
    }
    Obj* o = new Obj(Kind::print);
    o->target = target;
    return NewLocalRef(o);
}

jobject JNICALL NewObjectAJ(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
    return NewObjectA(env, cls, id, a, "NewObjectA");
}

jobject JNICALL NewObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
    return NewObjectA(env, cls, id, ReadArgs(id, ap).data(), "NewObjectV");
}

jobject JNICALL NewObject(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list ap;
    va_start(ap, id);
    std::vector<jvalue> a = ReadArgs(id, ap);
    va_end(ap);
    return NewObjectA(env, cls, id, a.data(), "NewObject");
}

void SetStream(const Method& m, jobject arg, const char* fn) {
    bool isOut = m.name == "setOut";
    Obj* ps = Deref(arg, fn);
    (isOut ? state.out : state.err) =
        ps && ps->kind == Kind::print && ps->target && ps->target->kind == Kind::fileOut ? ps : nullptr;
    const char* line = isOut ? "set_out " : "set_err ";
    if (!ps)
        Say(line, "null");
    else if (ps->kind != Kind::print || !ps->target || ps->target->kind != Kind::fileOut)
        Say(line, "other");
    else
        Say(line, "append=", ps->target->append ? 1 : 0, " ", Utf8(ps->target->text));
}

void RunMain(ThreadEnv* t, const Method& m, jobject argsRef, const char* fn) {
    PauseAt("main");
    Obj* args = m.sig == "()V" ? nullptr : Deref(argsRef, fn);
    size_t n = args && args->kind == Kind::array ? args->elems.size() : 0;
    if (m.sig == "()V")
        Say("main_args none");
    else
        Say("main_args count=", n);
    for (size_t i = 0; i < n; ++i) {
        Obj* s = args->elems[i];
        if (s)
            Say("arg[", i, "]=", Utf8(s->text));
        else
            Say("arg[", i, "] null");
    }
    Emit(state.out, STD_OUTPUT_HANDLE, state.writeOut, "write_out");
    Emit(state.err, STD_ERROR_HANDLE, state.writeErr, "write_err");
    if (state.echoInput == L"yes") EchoInput();
    std::wstring names;
    EnvVar(L"FAKEJVM_LOAD_BY_NAME", names);
    for (const std::wstring& name : SplitCommas(names)) {
        HMODULE module = LoadLibraryW(name.c_str());
        Say("load_by_name ", Utf8(name), module ? " found" : " not_found");
    }
    if (state.mainMode == L"throw") {
        std::wstring mainClass = Widen(Dotted(m.cls).c_str());
        Raise(t, "java/lang/RuntimeException", L"thrown by " + mainClass + L".main");
        if (state.traceScripted)
            t->pending->trace = state.trace;
        else
            t->pending->trace += L"\tat " + mainClass + L".main(Main.java)\n";
    } else if (state.mainMode == L"abort") {
        t->deferred = Deferred::abort;
    } else if (state.mainMode.compare(0, 5, L"exit:") == 0) {
        t->deferred = Deferred::exit;
        t->exitCode = static_cast<jint>(std::wcstol(state.mainMode.c_str() + 5, nullptr, 10));
    }
}

// secondaryMain's arguments, logged; the int form's result is their sum as numbers.
jint RunSecondary(jobject argsRef, const char* fn) {
    Obj* args = Deref(argsRef, fn);
    size_t n = args && args->kind == Kind::array ? args->elems.size() : 0;
    Say("secondary_args count=", n);
    jint sum = 0;
    for (size_t i = 0; i < n; ++i) {
        Obj* s = args->elems[i];
        Say("secondary_arg[", i, "]=", s ? Utf8(s->text) : std::string("(null)"));
        if (s) sum += static_cast<jint>(std::wcstol(s->text.c_str(), nullptr, 10));
    }
    return sum;
}

// Waits that stand for Java code running; they hold no lock, so that other threads can call in.
void WaitForPauseEvent(DWORD ms) {
    std::wstring name;
    if (ms == 0 || !EnvVar(L"FAKEJVM_PAUSE", name) || name.empty()) return;
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str())) {
        WaitForSingleObject(event, ms);
        CloseHandle(event);
    }
    Say("main_wait_end");
}

// returns: 'L' object, 'V' void, 'I' int; an int result goes to *intResult.
jobject CallStaticA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a, char returns, const char* fn,
                    jint* intResult = nullptr) {
    ThreadEnv* t = nullptr;
    jobject result = nullptr;
    DWORD mainWait = 0, secondarySleep = 0;
    char stopAction = 0;
    const char* secondaryReturn = nullptr;
    std::string secondaryValue;
    {
        Call c(env, fn);
        t = c.t;
        Obj* k = As(cls, Kind::classObject, fn);
        Method* m = MethodFromId(id, fn);
        if (!k || !m) return nullptr;
        char methodReturns = m->sig.back() == ';' ? 'L' : m->sig.back();
        if (!m->isStatic || m->cls != k->name || methodReturns != returns) {
            Say("JNI_WRONG_METHOD ", fn, " ", m->cls, ".", m->name);
            return nullptr;
        }
        if (m->name == "secondaryMain") {
            Say(returns == 'I' ? "call_static_int " : "call_static_void ", m->cls, ".", m->name);
            jint sum = RunSecondary(a[0].l, fn);
            if (intResult) *intResult = sum;
            secondarySleep = state.secondarySleepMs;
            secondaryReturn = "secondary_return ";
            secondaryValue = returns == 'I' ? std::to_string(sum) : "void";
            if (state.secondaryForms == L"exit") {
                Say("system_exit ", sum);
                t->deferred = Deferred::exit;
                t->exitCode = sum;
            }
        } else if (m->name == "checkAndLoadMain") {
            Obj* what = As(a[2].l, Kind::string, fn);
            std::string name = what ? Utf8(what->text) : "";
            Say("call_static_object ", m->cls, ".", m->name, " ", a[0].z ? 1 : 0, " ", a[1].i, " ", name);
            std::string slashed = SwapSeparator(name, '.', '/');
            bool asTheRealLauncherAsks = a[0].z == JNI_TRUE && a[1].i == 1 && name.find('/') == std::string::npos;
            // A jar (mode 2) or a module (3) names the first application class.
            bool fromJarOrModule = a[0].z == JNI_TRUE && (a[1].i == 2 || a[1].i == 3) && !name.empty() &&
                                   !state.appClasses.empty();
            if (asTheRealLauncherAsks && state.appClasses.count(slashed)) {
                result = NewLocalRef(ClassObj(slashed));
            } else if (fromJarOrModule) {
                result = NewLocalRef(ClassObj(state.firstAppClass));
            } else if (state.helper == L"exit") {
                t->deferred = Deferred::exit;
                t->exitCode = 1;
            } else {
                Raise(t, "java/lang/NoClassDefFoundError", what ? what->text : L"");
            }
        } else if (m->name == "stop" && state.appClasses.count(m->cls)) {
            Say("call_static_void ", m->cls, ".stop");
            Obj* args = m->sig == "()V" ? nullptr : Deref(a[0].l, fn);
            size_t n = args && args->kind == Kind::array ? args->elems.size() : 0;
            if (m->sig == "()V") Say("stop_args none");
            else Say("stop_args count=", n);
            for (size_t i = 0; i < n; ++i) Say("stop_arg[", i, "]=", args->elems[i] ? Utf8(args->elems[i]->text) : "null");
            if (state.stopForm == L"throw") Raise(t, "java/lang/IllegalStateException", L"thrown by stop");
            else stopAction = state.stopForm == L"never" ? 'n' : 'r';
        } else {
            Say("call_static_void ", m->cls, ".", m->name);
            if (m->name == "setOut" || m->name == "setErr") {
                SetStream(*m, a[0].l, fn);
            } else if (m->name == "exit") {
                Say("system_exit ", a[0].i);
                t->deferred = Deferred::exit;
                t->exitCode = a[0].i;
            } else {
                RunMain(t, *m, a[0].l, fn);
                mainWait = state.mainWaitMs;
                if (!mainWait) LogQpc("main_return");
            }
        }
    }
    // A stop that lets main end sets the event main waits for; one that
    // never returns keeps its thread for good.
    if (stopAction == 'n') {
        Say("stop_never_returns");
        Sleep(INFINITE);
    }
    if (stopAction == 'r') {
        std::wstring name;
        if (EnvVar(L"FAKEJVM_PAUSE", name) && !name.empty()) {
            if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str())) {
                SetEvent(event);
                CloseHandle(event);
            }
        }
        Say("stop_return");
    }
    if (mainWait) {
        WaitForPauseEvent(mainWait);
        LogQpc("main_return");
    }
    if (secondarySleep) Sleep(secondarySleep);
    if (secondaryReturn) Say(secondaryReturn, secondaryValue);
    RunDeferred(t);
    return result;
}

jobject JNICALL CallStaticObjectA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
    return CallStaticA(env, cls, id, a, 'L', "CallStaticObjectMethodA");
}

jobject JNICALL CallStaticObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
    return CallStaticA(env, cls, id, ReadArgs(id, ap).data(), 'L', "CallStaticObjectMethodV");
}

jobject JNICALL CallStaticObject(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list ap;
    va_start(ap, id);
    std::vector<jvalue> a = ReadArgs(id, ap);
    va_end(ap);
    return CallStaticA(env, cls, id, a.data(), 'L', "CallStaticObjectMethod");
}

void JNICALL CallStaticVoidA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
    CallStaticA(env, cls, id, a, 'V', "CallStaticVoidMethodA");
}

void JNICALL CallStaticVoidV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
    CallStaticA(env, cls, id, ReadArgs(id, ap).data(), 'V', "CallStaticVoidMethodV");
}

void JNICALL CallStaticVoid(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list ap;
    va_start(ap, id);
    std::vector<jvalue> a = ReadArgs(id, ap);
    va_end(ap);
    CallStaticA(env, cls, id, a.data(), 'V', "CallStaticVoidMethod");
}

jint JNICALL CallStaticIntA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
    jint result = 0;
    CallStaticA(env, cls, id, a, 'I', "CallStaticIntMethodA", &result);
    return result;
}

jint JNICALL CallStaticIntV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
    jint result = 0;
    CallStaticA(env, cls, id, ReadArgs(id, ap).data(), 'I', "CallStaticIntMethodV", &result);
    return result;
}

jint JNICALL CallStaticInt(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list ap;
    va_start(ap, id);
    std::vector<jvalue> a = ReadArgs(id, ap);
    va_end(ap);
    jint result = 0;
    CallStaticA(env, cls, id, a.data(), 'I', "CallStaticIntMethod", &result);
    return result;
}

// An instance main, scripted like the static one; self must be an object of its class.
void CallInstanceMain(JNIEnv* env, jobject self, const Method& m, const jvalue* a, const char* fn) {
    ThreadEnv* t = nullptr;
    DWORD mainWait = 0;
    {
        Call c(env, fn);
        t = c.t;
        Obj* o = Deref(self, fn);
        if (!o || o->kind != Kind::instance || o->name != m.cls) {
            Say("JNI_WRONG_METHOD ", fn, " ", m.cls, ".", m.name);
            return;
        }
        Say("call_void ", m.cls, ".", m.name);
        RunMain(t, m, a[0].l, fn);
        mainWait = state.mainWaitMs;
        if (!mainWait) LogQpc("main_return");
    }
    if (mainWait) {
        WaitForPauseEvent(mainWait);
        LogQpc("main_return");
    }
    RunDeferred(t);
}

// The instance methods the launcher calls to read an exception's trace: printStackTrace of
// any exception raised so far, into a PrintStream over a ByteArrayOutputStream, and that
// buffer's toString. FAKEJVM_TRACE_FAULT makes either fail.
jobject CallA(JNIEnv* env, jobject self, jmethodID id, const jvalue* a, bool wantObject, const char* fn) {
    Method main;
    bool isMain = false;
    {
        std::lock_guard<std::recursive_mutex> lock(state.mu);
        Method* m = state.methodIds.count(reinterpret_cast<Method*>(id)) ? reinterpret_cast<Method*>(id) : nullptr;
        isMain = m && !m->isStatic && !wantObject && m->name == "main" && state.appClasses.count(m->cls);
        if (isMain) main = *m;
    }
    if (isMain) {  // outside the lock: main may wait for the test
        CallInstanceMain(env, self, main, a, fn);
        return nullptr;
    }
    Call c(env, fn);
    Obj* o = Deref(self, fn);
    Method* m = MethodFromId(id, fn);
    if (!o) Say("JNI_BAD_ARGUMENT ", fn);
    if (!o || !m) return nullptr;
    bool returnsObject = m->sig.back() != 'V';
    if (m->isStatic || m->cls != ClassOf(o) || returnsObject != wantObject) {
        Say("JNI_WRONG_METHOD ", fn, " ", m->cls, ".", m->name);
        return nullptr;
    }
    Say(wantObject ? "call_object " : "call_void ", m->cls, ".", m->name);
    if (m->name == kPrintStackTrace) {
        Obj* stream = Deref(a[0].l, fn);
        if (!stream) return Raise(c.t, "java/lang/NullPointerException", L""), nullptr;
        if (stream->kind != Kind::print) return Say("JNI_BAD_ARGUMENT ", fn), nullptr;
        std::wstring printed = o->trace;
        if (state.traceFault == L"print_throws") {
            size_t end = printed.find(L'\n');
            printed.resize(end == std::wstring::npos ? printed.size() : end + 1);
        }
        if (stream->target->kind == Kind::buffer) stream->target->text += printed;
        if (state.traceFault == L"print_throws")
            Raise(c.t, "java/lang/IllegalStateException", L"printStackTrace failed");
        return nullptr;
    }
    if (m->name == "getName") return NewLocalRef(new Obj(Kind::string, "", Widen(Dotted(o->name).c_str())));
    Obj* charset = Deref(a[0].l, fn);
    if (!charset || charset->kind != Kind::string || charset->text != L"UTF-8")
        return Say("JNI_BAD_ARGUMENT ", fn, " charset"), nullptr;
    if (state.traceFault == L"tostring_null") return nullptr;
    if (state.traceFault == L"tostring_throws")
        return Raise(c.t, "java/lang/OutOfMemoryError", L"toString failed"), nullptr;
    return NewLocalRef(new Obj(Kind::string, "", o->text));
}

jobject JNICALL CallObjectA(JNIEnv* env, jobject self, jmethodID id, const jvalue* a) {
    return CallA(env, self, id, a, true, "CallObjectMethodA");
}

jobject JNICALL CallObjectV(JNIEnv* env, jobject self, jmethodID id, va_list ap) {
    return CallA(env, self, id, ReadArgs(id, ap).data(), true, "CallObjectMethodV");
}

jobject JNICALL CallObject(JNIEnv* env, jobject self, jmethodID id, ...) {
    va_list ap;
    va_start(ap, id);
    std::vector<jvalue> a = ReadArgs(id, ap);
    va_end(ap);
    return CallA(env, self, id, a.data(), true, "CallObjectMethod");
}

void JNICALL CallVoidA(JNIEnv* env, jobject self, jmethodID id, const jvalue* a) {
    CallA(env, self, id, a, false, "CallVoidMethodA");
}

void JNICALL CallVoidV(JNIEnv* env, jobject self, jmethodID id, va_list ap) {
    CallA(env, self, id, ReadArgs(id, ap).data(), false, "CallVoidMethodV");
}

void JNICALL CallVoid(JNIEnv* env, jobject self, jmethodID id, ...) {
    va_list ap;
    va_start(ap, id);
    std::vector<jvalue> a = ReadArgs(id, ap);
    va_end(ap);
    CallA(env, self, id, a.data(), false, "CallVoidMethod");
}

// The JDK 25 helper's two flags; a JDK 17 helper has no such fields.
const char* const kHelperFlags[] = {"isStaticMain", "noArgMain"};

jfieldID JNICALL GetStaticFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    Call c(env, "GetStaticFieldID");
    Obj* k = As(cls, Kind::classObject, "GetStaticFieldID");
    if (!k || !name || !sig) return nullptr;
    Say("get_static_field ", k->name, " ", name, " ", sig);
    for (const char* const& flag : kHelperFlags) {
        if (!state.mainForm.empty() && k->name == kHelper && std::strcmp(name, flag) == 0 && std::strcmp(sig, "Z") == 0)
            return reinterpret_cast<jfieldID>(const_cast<char**>(&flag));
    }
    Raise(c.t, "java/lang/NoSuchFieldError", Widen(name));
    return nullptr;
}

jboolean JNICALL GetStaticBooleanField(JNIEnv* env, jclass cls, jfieldID id) {
    Call c(env, "GetStaticBooleanField");
    Obj* k = As(cls, Kind::classObject, "GetStaticBooleanField");
    const char* const* flag = reinterpret_cast<const char* const*>(id);
    if (!k || k->name != kHelper || flag < std::begin(kHelperFlags) || flag >= std::end(kHelperFlags))
        return Say("JNI_BAD_ARGUMENT GetStaticBooleanField"), JNI_FALSE;
    bool value = flag == &kHelperFlags[0] ? state.mainForm.compare(0, 6, L"static") == 0
                                          : state.mainForm.find(L"_noargs") != std::wstring::npos;
    Say("get_static_boolean ", k->name, ".", *flag, "=", value ? 1 : 0);
    return value ? JNI_TRUE : JNI_FALSE;
}

jclass JNICALL GetObjectClass(JNIEnv* env, jobject h) {
    Call c(env, "GetObjectClass");
    Obj* o = Deref(h, "GetObjectClass");
    if (!o) return Say("JNI_BAD_ARGUMENT GetObjectClass"), nullptr;
    Say("get_object_class ", ClassOf(o));
    return NewLocalRef<jclass>(ClassObj(ClassOf(o)));
}

jcharArray JNICALL NewCharArray(JNIEnv* env, jsize len) {
    Call c(env, "NewCharArray");
    if (len < 0) return Raise(c.t, "java/lang/NegativeArraySizeException", L""), nullptr;
    return NewLocalRef<jcharArray>(new Obj(Kind::chars, "", std::wstring(static_cast<size_t>(len), L'\0')));
}

void JNICALL SetCharArrayRegion(JNIEnv* env, jcharArray arr, jsize start, jsize len, const jchar* buf) {
    Call c(env, "SetCharArrayRegion");
    Obj* o = As(arr, Kind::chars, "SetCharArrayRegion");
    if (!o) return;
    if (start < 0 || len < 0 || static_cast<size_t>(start) + static_cast<size_t>(len) > o->text.size())
        return Raise(c.t, "java/lang/ArrayIndexOutOfBoundsException", L"");
    for (jsize i = 0; i < len; ++i) o->text[static_cast<size_t>(start + i)] = static_cast<wchar_t>(buf[i]);
}

jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize len, jclass cls, jobject init) {
    Call c(env, "NewObjectArray");
    Obj* k = As(cls, Kind::classObject, "NewObjectArray");
    if (!k) return nullptr;
    if (len < 0) return Raise(c.t, "java/lang/NegativeArraySizeException", L""), nullptr;
    Obj* o = new Obj(Kind::array, k->name);
    o->elems.assign(static_cast<size_t>(len), Deref(init, "NewObjectArray"));
    return NewLocalRef<jobjectArray>(o);
}

void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray arr, jsize i, jobject val) {
    const char* fn = "SetObjectArrayElement";
    Call c(env, fn);
    Obj* o = As(arr, Kind::array, fn);
    if (!o) return;
    if (i < 0 || static_cast<size_t>(i) >= o->elems.size())
        return Raise(c.t, "java/lang/ArrayIndexOutOfBoundsException", L"");
    Obj* v = Deref(val, fn);
    if (v && o->name != "java/lang/Object" && ClassOf(v) != o->name)
        return Raise(c.t, "java/lang/ArrayStoreException", Widen(ClassOf(v).c_str()));
    o->elems[static_cast<size_t>(i)] = v;
}

jsize JNICALL GetArrayLength(JNIEnv* env, jarray arr) {
    Call c(env, "GetArrayLength");
    Obj* o = Deref(arr, "GetArrayLength");
    if (o && o->kind == Kind::chars) return static_cast<jsize>(o->text.size());
    if (o && o->kind == Kind::array) return static_cast<jsize>(o->elems.size());
    Say("JNI_BAD_ARGUMENT GetArrayLength");
    return 0;
}

jsize JNICALL GetStringLength(JNIEnv* env, jstring s) {
    Call c(env, "GetStringLength");
    Obj* o = As(s, Kind::string, "GetStringLength");
    return o ? static_cast<jsize>(o->text.size()) : 0;
}

const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring s, jboolean* isCopy) {
    Call c(env, "GetStringUTFChars");
    Obj* o = As(s, Kind::string, "GetStringUTFChars");
    if (!o) return nullptr;
    std::string m = Utf8(o->text, true);
    char* p = new char[m.size() + 1];
    std::memcpy(p, m.c_str(), m.size() + 1);
    state.utfChars.insert(p);
    if (isCopy) *isCopy = JNI_TRUE;
    return p;
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    Call c(env, "ReleaseStringUTFChars", true);
    As(s, Kind::string, "ReleaseStringUTFChars");
    if (!state.utfChars.erase(chars)) return Say("JNI_BAD_RELEASE ReleaseStringUTFChars");
    delete[] chars;
}

void JNICALL DeleteLocalRef(JNIEnv* env, jobject h) {
    Call c(env, "DeleteLocalRef", true);
    if (!h || !Deref(h, "DeleteLocalRef")) return;
    Ref* r = reinterpret_cast<Ref*>(h);
    if (r->live) --state.liveLocalRefs[r->thread];
    r->live = false;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv* env) {
    Call c(env, "ExceptionOccurred", true);
    return NewLocalRef<jthrowable>(c.t->pending);
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    Call c(env, "ExceptionCheck", true);
    return c.t->pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL ExceptionDescribe(JNIEnv* env) {
    Call c(env, "ExceptionDescribe", true);
    Obj* e = c.t->pending;
    if (!e) return Say("exception_describe none");
    std::string msg = Utf8(e->text);
    Say("exception_describe ", e->name, ": ", msg);
    Emit(state.err, STD_ERROR_HANDLE,
         L"Exception in thread \"main\" " + Widen(Dotted(e->name).c_str()) + L": " + e->text + L"\r\n", "write_err");
    c.t->pending = nullptr;
}

jint JNICALL ThrowObject(JNIEnv* env, jthrowable h) {
    Call c(env, "Throw");
    Obj* e = As(h, Kind::throwable, "Throw");
    if (!e) return JNI_ERR;
    Say("throw_object ", e->name, " ", Utf8(e->text));
    c.t->pending = e;
    return JNI_OK;
}

void JNICALL ExceptionClear(JNIEnv* env) {
    Call c(env, "ExceptionClear", true);
    Say("exception_clear");
    c.t->pending = nullptr;
}

// ---- JavaVM --------------------------------------------------------------------------------

bool CheckVm(JavaVM* vm, const char* fn) {
    if (vm != &state.vm) Say("JNI_BAD_VM ", fn);
    if (state.destroyed) Say("JNI_CALL_AFTER_DESTROY ", fn);
    return vm == &state.vm;
}

ThreadEnv* AttachCurrent(bool daemon) {
    ThreadEnv*& t = state.threads[GetCurrentThreadId()];
    if (!t) {
        t = new ThreadEnv();
        t->functions = &state.envTable;
        t->tid = GetCurrentThreadId();
    }
    if (!t->attached) t->daemon = daemon;
    t->attached = true;
    return t;
}

jint Attach(JavaVM* vm, void** penv, bool daemon) {
    std::lock_guard<std::recursive_mutex> lock(state.mu);
    Say(daemon ? "attach_daemon" : "attach");
    if (!CheckVm(vm, daemon ? "AttachCurrentThreadAsDaemon" : "AttachCurrentThread")) return JNI_ERR;
    *penv = static_cast<JNIEnv*>(AttachCurrent(daemon));
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM* vm, void** penv, void*) { return Attach(vm, penv, false); }
jint JNICALL AttachCurrentThreadAsDaemon(JavaVM* vm, void** penv, void*) { return Attach(vm, penv, true); }

jint JNICALL DetachCurrentThread(JavaVM* vm) {
    std::lock_guard<std::recursive_mutex> lock(state.mu);
    CheckVm(vm, "DetachCurrentThread");
    auto it = state.threads.find(GetCurrentThreadId());
    if (it == state.threads.end() || !it->second->attached) return Say("detach not_attached"), JNI_OK;
    Say("detach");
    ThreadEnv* t = it->second;
    if (t->pending) Say("DETACH_WITH_PENDING_EXCEPTION ", t->pending->name);
    t->pending = nullptr;
    t->attached = false;
    for (Ref* r : state.refs)
        if (r->thread == t->tid) r->live = false;
    state.liveLocalRefs[t->tid] = 0;
    return JNI_OK;
}

jint JNICALL GetEnv(JavaVM* vm, void** penv, jint version) {
    std::lock_guard<std::recursive_mutex> lock(state.mu);
    CheckVm(vm, "GetEnv");
    auto it = state.threads.find(GetCurrentThreadId());
    bool attached = it != state.threads.end() && it->second->attached;
    jint result = !SupportedVersion(version) ? JNI_EVERSION : attached ? JNI_OK : JNI_EDETACHED;
    *penv = result == JNI_OK ? static_cast<JNIEnv*>(it->second) : nullptr;
    Say("get_env version=", Hex(version), " result=", result);
    return result;
}

size_t OtherLiveThreads() {
    size_t n = 0;
    for (auto& kv : state.threads) n += kv.second->attached && !kv.second->daemon && kv.first != GetCurrentThreadId();
    return n;
}

// Like the real VM, waits for the other non-daemon threads to detach; gives up after a while
// so that a launcher bug fails a test instead of hanging it.
jint JNICALL DestroyJavaVM(JavaVM* vm) {
    std::unique_lock<std::recursive_mutex> lock(state.mu);
    Say("destroy");
    LogCallerThread();
    PauseAt("destroy");
    if (!CheckVm(vm, "DestroyJavaVM") || state.destroyed) return JNI_ERR;
    if (size_t n = OtherLiveThreads()) Say("destroy_wait threads=", n);
    for (int waited = 0; OtherLiveThreads() && waited < 5000; waited += 10) {
        lock.unlock();
        Sleep(10);
        lock.lock();
    }
    if (size_t n = OtherLiveThreads()) Say("DESTROY_TIMEOUT threads=", n);
    if (!state.utfChars.empty()) Say("LEAKED_UTF_CHARS ", state.utfChars.size());
    state.destroyed = true;
    WriteAotRecording();
    return JNI_OK;
}

// ---- tables --------------------------------------------------------------------------------

using AnyFn = void(JNICALL*)();

// Never returns, so the mismatched parameter list of a trap cannot unbalance a stdcall stack.
template <bool Vm, int N>
void JNICALL Trap() {
    Say(Vm ? "UNEXPECTED vm_slot " : "UNEXPECTED slot ", N);
    ExitProcess(97);
}

template <bool Vm, class Table, int... N>
void FillTraps(Table& table, std::integer_sequence<int, N...>) {
    AnyFn fns[] = {&Trap<Vm, N>...};
    static_assert(sizeof(fns) == sizeof(Table), "function tables hold pointers only");
    std::memcpy(&table, fns, sizeof fns);
}

void BuildTables() {
    JNINativeInterface_& e = state.envTable;
    FillTraps<false>(e, std::make_integer_sequence<int, sizeof(e) / sizeof(AnyFn)>{});
    e.GetVersion = GetJniVersion;
    e.FindClass = FindClass;
    e.ExceptionOccurred = ExceptionOccurred;
    e.Throw = ThrowObject;
    e.ExceptionDescribe = ExceptionDescribe;
    e.ExceptionClear = ExceptionClear;
    e.ExceptionCheck = ExceptionCheck;
    e.DeleteLocalRef = DeleteLocalRef;
    e.GetMethodID = GetMethodID;
    e.GetStaticMethodID = GetStaticMethodID;
    e.GetStaticFieldID = GetStaticFieldID;
    e.GetStaticBooleanField = GetStaticBooleanField;
    e.NewObject = NewObject;
    e.NewObjectV = NewObjectV;
    e.NewObjectA = NewObjectAJ;
    e.GetObjectClass = GetObjectClass;
    e.CallObjectMethod = CallObject;
    e.CallObjectMethodV = CallObjectV;
    e.CallObjectMethodA = CallObjectA;
    e.CallVoidMethod = CallVoid;
    e.CallVoidMethodV = CallVoidV;
    e.CallVoidMethodA = CallVoidA;
    e.CallStaticObjectMethod = CallStaticObject;
    e.CallStaticObjectMethodV = CallStaticObjectV;
    e.CallStaticObjectMethodA = CallStaticObjectA;
    e.CallStaticVoidMethod = CallStaticVoid;
    e.CallStaticVoidMethodV = CallStaticVoidV;
    e.CallStaticVoidMethodA = CallStaticVoidA;
    e.CallStaticIntMethod = CallStaticInt;
    e.CallStaticIntMethodV = CallStaticIntV;
    e.CallStaticIntMethodA = CallStaticIntA;
    e.GetStringLength = GetStringLength;
    e.GetStringUTFChars = GetStringUTFChars;
    e.ReleaseStringUTFChars = ReleaseStringUTFChars;
    e.GetArrayLength = GetArrayLength;
    e.NewObjectArray = NewObjectArray;
    e.SetObjectArrayElement = SetObjectArrayElement;
    e.NewCharArray = NewCharArray;
    e.SetCharArrayRegion = SetCharArrayRegion;

    JNIInvokeInterface_& v = state.vmTable;
    FillTraps<true>(v, std::make_integer_sequence<int, sizeof(v) / sizeof(AnyFn)>{});
    v.DestroyJavaVM = DestroyJavaVM;
    v.AttachCurrentThread = AttachCurrentThread;
    v.DetachCurrentThread = DetachCurrentThread;
    v.GetEnv = GetEnv;
    v.AttachCurrentThreadAsDaemon = AttachCurrentThreadAsDaemon;
    state.vm.functions = &state.vmTable;
}

// ---- create --------------------------------------------------------------------------------

// AllocationBase to the end of the last region of that allocation is the whole reservation.
size_t StackReservation() {
    int probe = 0;
    MEMORY_BASIC_INFORMATION mbi{};
    VirtualQuery(&probe, &mbi, sizeof mbi);
    char* base = static_cast<char*>(mbi.AllocationBase);
    char* p = base;
    while (VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi && mbi.AllocationBase == base) p += mbi.RegionSize;
    return static_cast<size_t>(p - base);
}

// FAKEJVM_TRACE's escapes: \\n \\r \\t \\0 and \\\\; any other backslash stays as it is.
std::wstring Unescape(const std::wstring& s) {
    std::wstring o;
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t next = i + 1 < s.size() ? s[i + 1] : L'\0';
        const wchar_t* from = L"nrt0\\";
        const wchar_t* to = L"\n\r\t\0\\";
        const wchar_t* hit = s[i] == L'\\' && next ? std::wcschr(from, next) : nullptr;
        if (hit) {
            o += to[hit - from];
            ++i;
        } else {
            o += s[i];
        }
    }
    return o;
}

void ReadScript() {
    state.helper = EnvOr(L"FAKEJVM_HELPER", L"yes");
    state.mainMode = EnvOr(L"FAKEJVM_MAIN", L"return");
    EnvVar(L"FAKEJVM_STOP", state.stopForm);
    EnvVar(L"FAKEJVM_MAIN_FORM", state.mainForm);
    EnvVar(L"FAKEJVM_WRITE_OUT", state.writeOut);
    EnvVar(L"FAKEJVM_WRITE_ERR", state.writeErr);
    EnvVar(L"FAKEJVM_ECHO_INPUT", state.echoInput);
    std::wstring trace;
    state.traceScripted = EnvVar(L"FAKEJVM_TRACE", trace);
    state.trace = Unescape(trace);
    EnvVar(L"FAKEJVM_TRACE_FAULT", state.traceFault);
    state.secondaryForms = EnvOr(L"FAKEJVM_SECONDARY", L"none");
    state.secondarySleepMs =
        static_cast<DWORD>(std::wcstoul(EnvOr(L"FAKEJVM_SECONDARY_SLEEP", L"0").c_str(), nullptr, 10));
    state.mainWaitMs = static_cast<DWORD>(std::wcstoul(EnvOr(L"FAKEJVM_MAIN_WAIT", L"0").c_str(), nullptr, 10));
    state.bootClasses.insert(std::begin(kBuiltinClasses), std::end(kBuiltinClasses));
    if (state.helper != L"no") state.bootClasses.insert(kHelper);
    std::wstring classes;
    EnvVar(L"FAKEJVM_CLASSES", classes);
    for (const std::wstring& c : SplitCommas(classes)) state.appClasses.insert(Utf8(c));
    state.firstAppClass = classes.empty() ? std::string() : Utf8(SplitCommas(classes).front());
}

void LogEnvironment() {
    Say("thread_stack reserved=", StackReservation());
    std::wstring names, value;
    EnvVar(L"FAKEJVM_LOG_ENV", names);
    for (const std::wstring& n : SplitCommas(names)) {
        if (EnvVar(n.c_str(), value))
            Say("env ", Utf8(n), "=", Utf8(value));
        else
            Say("env ", Utf8(n), " unset");
    }
    std::wstring priority;
    if (EnvVar(L"FAKEJVM_LOG_PRIORITY", priority) && priority == L"yes")
        Say("priority_class 0x", std::hex, GetPriorityClass(GetCurrentProcess()), std::dec);
    wchar_t cwd[MAX_PATH * 4];
    DWORD len = GetCurrentDirectoryW(MAX_PATH * 4, cwd);
    Say("cwd ", Utf8(std::wstring(cwd, len < MAX_PATH * 4 ? len : 0)));
}

// The JDK 1.1 record; only the fields up to javaStackSize are touched.
struct Jdk11InitArgs {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(self);
        loaderThread = GetCurrentThreadId();
        EnvVar(L"FAKEJVM_LOG", logPath);
        std::vector<wchar_t> path(32768);
        DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        Say("load ", Utf8(std::wstring(path.data(), n)));
        BuildTables();
    } else if (reason == DLL_PROCESS_DETACH) {
        Say("unload reason=", reserved ? "exit" : "free");
    }
    return TRUE;
}

// Mirrors the real VM: a 1.1 request is answered with the defaults but still reports JNI_ERR,
// because 1.1 itself is not a supported version.
extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* p) {
    auto* a = static_cast<Jdk11InitArgs*>(p);
    Say("default_args version=", Hex(a->version));
    jint result = SupportedVersion(a->version) ? JNI_OK : JNI_ERR;
    if (a->version == JNI_VERSION_1_1) {
        a->version = JNI_VERSION_1_2;
        a->javaStackSize =
            static_cast<jint>(std::wcstol(EnvOr(L"FAKEJVM_DEFAULT_STACK", L"1048576").c_str(), nullptr, 10));
    }
    return result;
}

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* p) {
    LogQpc("create");
    PauseAt("create");
    std::lock_guard<std::recursive_mutex> lock(state.mu);
    auto* a = static_cast<JavaVMInitArgs*>(p);
    *pvm = nullptr;
    *penv = nullptr;
    Say("create version=", Hex(a->version), " nOptions=", a->nOptions,
        " ignoreUnrecognized=", a->ignoreUnrecognized ? 1 : 0);
    LogCallerThread();
    for (jint i = 0; i < a->nOptions; ++i) {
        const char* s = a->options[i].optionString;
        std::string o = s ? s : "(null)";
        void* extra = a->options[i].extraInfo;
        if (o == "exit" || o == "abort" || o == "vfprintf")
            Say("option ", o, " hook=", extra ? "set" : "null");
        else
            Say("option ", o);
    }
    LogEnvironment();
    if (state.created) return Say("CREATE_AGAIN"), JNI_EEXIST;
    if (!SupportedVersion(a->version)) return JNI_EVERSION;
    jint result = static_cast<jint>(std::wcstol(EnvOr(L"FAKEJVM_CREATE_RESULT", L"0").c_str(), nullptr, 10));
    if (result != JNI_OK) return result;
    for (jint i = 0; i < a->nOptions; ++i) {
        const char* s = a->options[i].optionString;
        if (s && std::strcmp(s, "exit") == 0)
            state.exitHook = reinterpret_cast<void(JNICALL*)(jint)>(a->options[i].extraInfo);
        if (s && std::strcmp(s, "abort") == 0)
            state.abortHook = reinterpret_cast<void(JNICALL*)()>(a->options[i].extraInfo);
    }
    std::string aotMode, aotConfiguration, aotCache;
    for (jint i = 0; i < a->nOptions; ++i) {
        const std::string o = a->options[i].optionString ? a->options[i].optionString : "";
        for (auto* field : {&aotMode, &aotConfiguration, &aotCache}) {
            const char* name = field == &aotMode ? "-XX:AOTMode=" : field == &aotConfiguration ? "-XX:AOTConfiguration=" : "-XX:AOTCache=";
            if (o.compare(0, std::strlen(name), name) == 0) *field = o.substr(std::strlen(name));
        }
    }
    if (aotMode == "record") state.aotRecording = aotConfiguration;
    if (aotMode == "create") {
        if (std::FILE* file = std::fopen(aotCache.c_str(), "wb")) {
            std::fputs("fake AOT cache\n", file);
            std::fclose(file);
        }
        Say("aot_created ", aotCache);
        std::exit(0);
    }
    ReadScript();
    state.created = true;
    *pvm = &state.vm;
    *penv = static_cast<JNIEnv*>(AttachCurrent(false));
    return JNI_OK;
}

extern "C" JNIEXPORT jclass JNICALL JVM_FindClassFromBootLoader(JNIEnv* env, const char* name) {
    Call c(env, "JVM_FindClassFromBootLoader");
    std::string n = name ? name : "";
    Say("find_class_boot ", n);
    return state.bootClasses.count(n) ? NewLocalRef<jclass>(ClassObj(n)) : nullptr;
}
