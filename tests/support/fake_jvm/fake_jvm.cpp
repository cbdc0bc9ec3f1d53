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
//                          callers can tell their replies apart
//   FAKEJVM_SECONDARY_SLEEP  ms that secondaryMain takes, holding no lock, before it returns
//   FAKEJVM_WRITE_OUT/ERR  text main prints to System.out / System.err (file or std handle)
//   FAKEJVM_LOG_QPC        yes: also log QueryPerformanceCounter readings, for timing benches
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
//   find_class <name>                     find_class_boot <name>
//   get_method <class> <name> <sig>       get_static_method <class> <name> <sig>
//   new_string <utf8>                     file_open append=0|1 <path>   file_open_failed <path>
//   call_static_object <class>.<name> [<arg>...]   (checkAndLoadMain: <bool> <int> <string>;
//                                         it finds a class only when asked the way the launcher
//                                         must ask: true, mode 1 and the dotted name)
//   call_static_void <class>.<name>      call_static_int <class>.<name>
//   main_args count=N, then arg[i]=<utf8> or arg[i] null      main_wait_end
//   main_args none                        (a main without parameters)
//   get_static_field <class> <name> <sig>  get_static_boolean <class>.<name>=0|1
//   new_object <class>                    (an application class, for its instance main)
//   secondary_args count=N, then secondary_arg[i]=<utf8>; once it returns:
//   secondary_return <int>|void          (lines of simultaneous calls interleave)
//   set_out|set_err append=0|1 <path>     set_out|set_err null|other
//   write_out|write_err file|std          system_exit N
//   exit_hook N|null                      abort_hook set|null
//   throw <class> <message>               exception_describe <class>: <message> | none
//   throw_object <class> <message>        (JNI Throw: an existing exception made pending again)
//   get_object_class <class>              new_buffer      new_print_stream buffer charset=UTF-8
//   call_void <class>.<name>              call_object <class>.<name>   (instance methods: the
//                                         exception's printStackTrace, the buffer's toString)
//   exception_clear                       attach | attach_daemon      get_env version=.. result=N
//   detach | detach not_attached          destroy     destroy_wait threads=N
//   caller_thread loader|other            after create and destroy: the thread that loaded the DLL?
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
std::string utf8(const std::wstring& s, bool modified = false) {
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

bool envVar(const wchar_t* name, std::wstring& value) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) {
    value.clear();
    return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  }
  std::vector<wchar_t> buf(n);
  n = GetEnvironmentVariableW(name, buf.data(), n);
  value.assign(buf.data(), n);
  return true;
}

std::wstring envOr(const wchar_t* name, const wchar_t* fallback) {
  std::wstring v;
  return envVar(name, v) && !v.empty() ? v : fallback;
}

std::vector<std::wstring> splitCommas(const std::wstring& s) {
  std::vector<std::wstring> parts;
  std::wstringstream in(s);
  for (std::wstring p; std::getline(in, p, L',');)
    if (!p.empty()) parts.push_back(p);
  return parts;
}

std::string hex(jint v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lx", static_cast<unsigned long>(v));
  return buf;
}

// ---- log -----------------------------------------------------------------------------------

std::wstring g_logPath;
DWORD g_loaderThread = 0;

// Opening per line keeps the log complete across ExitProcess and crashes, and needs no lock:
// an append-mode write lands whole.
void logLine(const std::string& raw) {
  if (g_logPath.empty()) return;
  std::string line;
  for (unsigned char c : raw) {
    char esc[8] = {static_cast<char>(c)};
    if (c < 0x20 || c == 0x7F) std::snprintf(esc, sizeof esc, "\\x%02X", c);
    line += esc;
  }
  line += '\n';
  HANDLE h = CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(h);
}

template <class... T>
void say(const T&... parts) {
  std::ostringstream o;
  (o << ... << parts);
  logLine(o.str());
}

// The launcher loads the library on its main thread, so this tells that thread from the VM's.
void logCallerThread() {
  say("caller_thread ", GetCurrentThreadId() == g_loaderThread ? "loader" : "other");
}

// Read before the lock and the other lines, so a bench sees the moment of the call.
void logQpc(const char* event) {
  std::wstring enabled;
  if (!envVar(L"FAKEJVM_LOG_QPC", enabled) || enabled != L"yes") return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  say("qpc ", event, "=", static_cast<long long>(now.QuadPart));
}

void pauseAt(const char* point) {
  std::wstring name, points;
  if (!envVar(L"FAKEJVM_PAUSE", name) || name.empty() || !envVar(L"FAKEJVM_PAUSE_AT", points)) return;
  bool listed = false;
  for (const std::wstring& p : splitCommas(points)) listed = listed || utf8(p) == point;
  if (!listed) return;
  say("pause ", point);
  if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str())) {
    WaitForSingleObject(event, 30000);
    CloseHandle(event);
  }
}

// ---- object model --------------------------------------------------------------------------

enum class Kind { Class, String, Chars, Array, FileOut, Buffer, Print, Throwable, Instance };

struct Obj {
  explicit Obj(Kind k, std::string n = {}, std::wstring t = {})
      : kind(k), name(std::move(n)), text(std::move(t)) {}
  Kind kind;
  std::string name;  // Class: its name; Array: element class; Throwable, Instance: its class
  std::wstring text;  // String, char[], FileOutputStream path, Throwable message, buffer contents
  std::wstring trace;  // Throwable: what its printStackTrace prints
  std::vector<Obj*> elems;
  HANDLE file = INVALID_HANDLE_VALUE;
  bool append = false;
  Obj* target = nullptr;  // PrintStream's FileOutputStream or ByteArrayOutputStream
};

// Handles are distinct from objects so deleted or foreign references can be told apart.
struct Ref { Obj* obj; DWORD thread; bool live; };

struct Method { std::string cls, name, sig; bool isStatic; };

enum class Deferred { None, Exit, Abort };

struct ThreadEnv : JNIEnv_ {
  DWORD tid = 0;
  bool attached = false, daemon = false;
  Obj* pending = nullptr;
  Deferred deferred = Deferred::None;
  jint exitCode = 0;
};

const char* const kBuiltinClasses[] = {"java/lang/String", "java/lang/System",
                                       "java/io/FileOutputStream", "java/io/PrintStream",
                                       "java/io/ByteArrayOutputStream"};
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
};

struct State {
  std::recursive_mutex mu;
  JNINativeInterface_ envTable;
  JNIInvokeInterface_ vmTable;
  JavaVM_ vm;
  std::map<DWORD, ThreadEnv*> threads;
  std::set<std::string> bootClasses, appClasses;
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
  std::wstring helper, mainMode, writeOut, writeErr, secondaryForms;
  std::wstring mainForm;  // FAKEJVM_MAIN_FORM
  DWORD mainWaitMs = 0, secondarySleepMs = 0;
  std::wstring trace, traceFault;
  bool traceScripted = false;
};
State g;
ThreadEnv g_strayEnv;  // stands in for an unknown env so a faulty call can still be logged

Obj* classObj(const std::string& name) {
  Obj*& o = g.classObjs[name];
  if (!o) o = new Obj(Kind::Class, name);
  return o;
}

std::string classOf(const Obj* o) {
  switch (o->kind) {
    case Kind::Class: return "java/lang/Class";
    case Kind::String: return "java/lang/String";
    case Kind::Chars: return "[C";
    case Kind::Array: return "[L" + o->name + ";";
    case Kind::FileOut: return "java/io/FileOutputStream";
    case Kind::Buffer: return "java/io/ByteArrayOutputStream";
    case Kind::Print: return "java/io/PrintStream";
    case Kind::Throwable: return o->name;
    case Kind::Instance: return o->name;
  }
  return "?";
}

std::string swapSeparator(std::string s, char from, char to) {
  for (char& c : s)
    if (c == from) c = to;
  return s;
}
std::string dotted(const std::string& s) { return swapSeparator(s, '/', '.'); }

// What JNI guarantees a native frame without EnsureLocalCapacity, which the launcher never
// asks for: a launcher that needs more has leaked references, however big the real VM's
// tables happen to be.
const int kLocalRefCapacity = 16;

template <class J = jobject>
J ref(Obj* o) {
  if (!o) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(g.mu);
  Ref* r = new Ref{o, GetCurrentThreadId(), true};
  g.refs.insert(r);
  if (++g.liveLocalRefs[r->thread] == kLocalRefCapacity + 1)
    say("LOCAL_REFS_OVER_CAPACITY ", kLocalRefCapacity);
  return static_cast<J>(reinterpret_cast<jobject>(r));
}

Obj* deref(jobject h, const char* fn) {
  if (!h) return nullptr;
  Ref* r = reinterpret_cast<Ref*>(h);
  if (!g.refs.count(r)) return say("JNI_BAD_REF ", fn), nullptr;
  if (!r->live)
    say("JNI_DELETED_REF ", fn);
  else if (r->thread != GetCurrentThreadId())
    say("JNI_LOCAL_REF_WRONG_THREAD ", fn);
  return r->obj;
}

// A null or wrongly typed argument is a caller fault the real VM would crash or throw on.
Obj* as(jobject h, Kind k, const char* fn) {
  Obj* o = deref(h, fn);
  if (!o || o->kind != k) return say("JNI_BAD_ARGUMENT ", fn), nullptr;
  return o;
}

std::wstring widen(const char* s) {
  std::wstring w;
  for (; s && *s; ++s) w += static_cast<wchar_t>(static_cast<unsigned char>(*s));
  return w;
}

void raise(ThreadEnv* t, const std::string& cls, const std::wstring& msg) {
  say("throw ", cls, " ", utf8(msg));
  t->pending = new Obj(Kind::Throwable, cls, msg);
  t->pending->trace = widen(dotted(cls).c_str()) + L": " + msg + L"\n";
  g.throwableClasses.insert(cls);
}

ThreadEnv* check(JNIEnv* env, const char* fn, bool allowPending) {
  if (g.destroyed) say("JNI_CALL_AFTER_DESTROY ", fn);
  ThreadEnv* t = nullptr;
  for (auto& kv : g.threads)
    if (static_cast<JNIEnv*>(kv.second) == env) t = kv.second;
  if (!t) return say("JNI_BAD_ENV ", fn), &g_strayEnv;
  if (!t->attached)
    say("JNI_ENV_DETACHED ", fn);
  else if (t->tid != GetCurrentThreadId())
    say("JNI_ENV_WRONG_THREAD ", fn);
  if (t->pending && !allowPending) say("JNI_CALL_WITH_PENDING_EXCEPTION ", fn);
  return t;
}

struct Call {
  std::lock_guard<std::recursive_mutex> lock{g.mu};
  ThreadEnv* t;
  Call(JNIEnv* env, const char* fn, bool allowPending = false)
      : t(check(env, fn, allowPending)) {}
};

Method* method(jmethodID id, const char* fn) {
  Method* m = reinterpret_cast<Method*>(id);
  return g.methodIds.count(m) ? m : (say("JNI_BAD_METHOD_ID ", fn), nullptr);
}

bool supportedVersion(jint v) {
  return v == JNI_VERSION_1_2 || v == JNI_VERSION_1_4 || v == JNI_VERSION_1_6 ||
         v == JNI_VERSION_1_8 || v == JNI_VERSION_9 || v == JNI_VERSION_10;
}

// ---- exit paths ----------------------------------------------------------------------------

// Runs with no lock held: the launcher's hook may do anything, including calling back in.
[[noreturn]] void vmExit(jint code) {
  auto hook = g.exitHook;
  say("exit_hook ", hook ? std::to_string(code) : std::string("null"));
  if (hook) hook(code);
  ExitProcess(static_cast<UINT>(code));
}

[[noreturn]] void vmAbort() {
  auto hook = g.abortHook;
  say("abort_hook ", hook ? "set" : "null");
  if (hook) hook();
  ExitProcess(3);
}

void runDeferred(ThreadEnv* t) {
  if (t->deferred == Deferred::Exit) vmExit(t->exitCode);
  if (t->deferred == Deferred::Abort) vmAbort();
}

void emit(Obj* stream, DWORD stdId, const std::wstring& text, const char* what) {
  if (text.empty()) return;
  HANDLE h = stream && stream->target ? stream->target->file : GetStdHandle(stdId);
  say(what, stream ? " file" : " std");
  std::string bytes = utf8(text);
  DWORD written = 0;
  if (h && h != INVALID_HANDLE_VALUE)
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// ---- JNIEnv --------------------------------------------------------------------------------

jint JNICALL getVersion(JNIEnv* env) {
  Call c(env, "GetVersion");
  return JNI_VERSION_10;
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
  Call c(env, "FindClass");
  std::string n = name ? name : "";
  say("find_class ", n);
  if (g.bootClasses.count(n) || g.appClasses.count(n)) return ref<jclass>(classObj(n));
  raise(c.t, "java/lang/NoClassDefFoundError", widen(name));
  return nullptr;
}

jmethodID lookupMethod(JNIEnv* env, jclass cls, const char* name, const char* sig, bool isStatic) {
  const char* fn = isStatic ? "GetStaticMethodID" : "GetMethodID";
  Call c(env, fn);
  Obj* k = as(cls, Kind::Class, fn);
  if (!k || !name || !sig) return nullptr;
  say(isStatic ? "get_static_method " : "get_method ", k->name, " ", name, " ", sig);
  bool known = false;
  for (const Method& m : kKnownMethods)
    known |= m.cls == k->name && m.name == name && m.sig == sig && m.isStatic == isStatic;
  known |= !isStatic && g.throwableClasses.count(k->name) && std::strcmp(name, kPrintStackTrace) == 0 &&
           std::strcmp(sig, kPrintStackTraceSig) == 0;
  bool formStatic = g.mainForm.empty() || g.mainForm.compare(0, 6, L"static") == 0;
  bool formNoArgs = g.mainForm.size() > 7 && g.mainForm.compare(g.mainForm.size() - 7, 7, L"_noargs") == 0;
  bool isMain = isStatic == formStatic && g.appClasses.count(k->name) && std::strcmp(name, "main") == 0 &&
                std::strcmp(sig, formNoArgs ? "()V" : "([Ljava/lang/String;)V") == 0;
  known |= !isStatic && !formStatic && g.appClasses.count(k->name) && std::strcmp(name, "<init>") == 0 &&
           std::strcmp(sig, "()V") == 0;
  if (isMain && g.mainMode == L"nomain_nopending") return nullptr;
  bool isSecondary = isStatic && g.appClasses.count(k->name) && std::strcmp(name, "secondaryMain") == 0;
  if (isSecondary) {
    bool isVoid = std::strcmp(sig, "([Ljava/lang/String;)V") == 0;
    bool isInt = std::strcmp(sig, "([Ljava/lang/String;)I") == 0;
    known = (isVoid && (g.secondaryForms == L"void" || g.secondaryForms == L"both")) ||
            (isInt && (g.secondaryForms == L"int" || g.secondaryForms == L"both"));
  }
  if (!known && !(isMain && g.mainMode != L"nomain")) {
    raise(c.t, "java/lang/NoSuchMethodError", widen(name));
    return nullptr;
  }
  Method*& m = g.methods[k->name + "." + name + sig];
  if (!m) {
    m = new Method{k->name, name, sig, isStatic};
    g.methodIds.insert(m);
  }
  return reinterpret_cast<jmethodID>(m);
}

jmethodID JNICALL getMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  return lookupMethod(env, cls, name, sig, false);
}

jmethodID JNICALL getStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  return lookupMethod(env, cls, name, sig, true);
}

// Decodes C varargs after default promotions: everything narrower than int arrives as int,
// float as double.
std::vector<jvalue> readArgs(jmethodID id, va_list ap) {
  std::lock_guard<std::recursive_mutex> lock(g.mu);
  std::vector<jvalue> v;
  Method* m = g.methodIds.count(reinterpret_cast<Method*>(id)) ? reinterpret_cast<Method*>(id)
                                                               : nullptr;
  for (const char* p = m ? m->sig.c_str() + 1 : ")"; *p && *p != ')'; ++p) {
    jvalue x{};
    switch (*p) {
      case 'Z': x.z = static_cast<jboolean>(va_arg(ap, int)); break;
      case 'B': x.b = static_cast<jbyte>(va_arg(ap, int)); break;
      case 'C': x.c = static_cast<jchar>(va_arg(ap, int)); break;
      case 'S': x.s = static_cast<jshort>(va_arg(ap, int)); break;
      case 'I': x.i = static_cast<jint>(va_arg(ap, int)); break;
      case 'J': x.j = va_arg(ap, jlong); break;
      case 'F': x.f = static_cast<jfloat>(va_arg(ap, double)); break;
      case 'D': x.d = va_arg(ap, double); break;
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

jobject newObjectA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a, const char* fn) {
  Call c(env, fn);
  Obj* k = as(cls, Kind::Class, fn);
  Method* m = method(id, fn);
  if (!k || !m) return nullptr;
  if (m->isStatic || m->name != "<init>" || m->cls != k->name) {
    say("JNI_WRONG_METHOD ", fn, " ", m->cls, ".", m->name);
    return nullptr;
  }
  if (m->cls == "java/lang/String") {
    Obj* chars = as(a[0].l, Kind::Chars, fn);
    if (!chars) return raise(c.t, "java/lang/NullPointerException", L""), nullptr;
    say("new_string ", utf8(chars->text));
    return ref(new Obj(Kind::String, "", chars->text));
  }
  if (m->cls == "java/io/FileOutputStream") {
    Obj* path = as(a[0].l, Kind::String, fn);
    if (!path) return raise(c.t, "java/lang/NullPointerException", L""), nullptr;
    bool append = a[1].z != JNI_FALSE;
    HANDLE h = CreateFileW(path->text.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      say("file_open_failed ", utf8(path->text));
      raise(c.t, "java/io/FileNotFoundException", path->text);
      return nullptr;
    }
    say("file_open append=", append ? 1 : 0, " ", utf8(path->text));
    Obj* o = new Obj(Kind::FileOut, "", path->text);
    o->file = h;
    o->append = append;
    return ref(o);
  }
  if (g.appClasses.count(m->cls)) {
    say("new_object ", m->cls);
    return ref(new Obj(Kind::Instance, m->cls));
  }
  if (m->cls == "java/io/ByteArrayOutputStream") {
    say("new_buffer");
    return ref(new Obj(Kind::Buffer));
  }
  Obj* target = deref(a[0].l, fn);
  if (!target) return raise(c.t, "java/lang/NullPointerException", L""), nullptr;
  if (target->kind != Kind::FileOut && target->kind != Kind::Buffer)
    return say("JNI_BAD_ARGUMENT ", fn), nullptr;
  if (target->kind == Kind::Buffer) {
    // The trace's characters survive only when both ends of the buffer name UTF-8.
    Obj* charset = m->sig == "(Ljava/io/OutputStream;ZLjava/lang/String;)V" ? deref(a[2].l, fn) : nullptr;
    if (!charset || charset->kind != Kind::String || charset->text != L"UTF-8")
      return say("JNI_BAD_ARGUMENT ", fn, " charset"), nullptr;
    say("new_print_stream buffer charset=UTF-8");
  }
  Obj* o = new Obj(Kind::Print);
  o->target = target;
  return ref(o);
}

jobject JNICALL newObjectAJ(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
  return newObjectA(env, cls, id, a, "NewObjectA");
}

jobject JNICALL newObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
  return newObjectA(env, cls, id, readArgs(id, ap).data(), "NewObjectV");
}

jobject JNICALL newObject(JNIEnv* env, jclass cls, jmethodID id, ...) {
  va_list ap;
  va_start(ap, id);
  std::vector<jvalue> a = readArgs(id, ap);
  va_end(ap);
  return newObjectA(env, cls, id, a.data(), "NewObject");
}

void setStream(const Method& m, jobject arg, const char* fn) {
  bool isOut = m.name == "setOut";
  Obj* ps = deref(arg, fn);
  (isOut ? g.out : g.err) = ps && ps->kind == Kind::Print && ps->target && ps->target->kind == Kind::FileOut ? ps : nullptr;
  const char* line = isOut ? "set_out " : "set_err ";
  if (!ps)
    say(line, "null");
  else if (ps->kind != Kind::Print || !ps->target || ps->target->kind != Kind::FileOut)
    say(line, "other");
  else
    say(line, "append=", ps->target->append ? 1 : 0, " ", utf8(ps->target->text));
}

void runMain(ThreadEnv* t, const Method& m, jobject argsRef, const char* fn) {
  pauseAt("main");
  Obj* args = m.sig == "()V" ? nullptr : deref(argsRef, fn);
  size_t n = args && args->kind == Kind::Array ? args->elems.size() : 0;
  if (m.sig == "()V")
    say("main_args none");
  else
    say("main_args count=", n);
  for (size_t i = 0; i < n; ++i) {
    Obj* s = args->elems[i];
    if (s)
      say("arg[", i, "]=", utf8(s->text));
    else
      say("arg[", i, "] null");
  }
  emit(g.out, STD_OUTPUT_HANDLE, g.writeOut, "write_out");
  emit(g.err, STD_ERROR_HANDLE, g.writeErr, "write_err");
  if (g.mainMode == L"throw") {
    std::wstring mainClass = widen(dotted(m.cls).c_str());
    raise(t, "java/lang/RuntimeException", L"thrown by " + mainClass + L".main");
    if (g.traceScripted)
      t->pending->trace = g.trace;
    else
      t->pending->trace += L"\tat " + mainClass + L".main(Main.java)\n";
  } else if (g.mainMode == L"abort") {
    t->deferred = Deferred::Abort;
  } else if (g.mainMode.compare(0, 5, L"exit:") == 0) {
    t->deferred = Deferred::Exit;
    t->exitCode = static_cast<jint>(std::wcstol(g.mainMode.c_str() + 5, nullptr, 10));
  }
}

// secondaryMain's arguments, logged; the int form's result is their sum as numbers.
jint runSecondary(jobject argsRef, const char* fn) {
  Obj* args = deref(argsRef, fn);
  size_t n = args && args->kind == Kind::Array ? args->elems.size() : 0;
  say("secondary_args count=", n);
  jint sum = 0;
  for (size_t i = 0; i < n; ++i) {
    Obj* s = args->elems[i];
    say("secondary_arg[", i, "]=", s ? utf8(s->text) : std::string("(null)"));
    if (s) sum += static_cast<jint>(std::wcstol(s->text.c_str(), nullptr, 10));
  }
  return sum;
}

// Waits that stand for Java code running; they hold no lock, so that other threads can call in.
void waitForPauseEvent(DWORD ms) {
  std::wstring name;
  if (ms == 0 || !envVar(L"FAKEJVM_PAUSE", name) || name.empty()) return;
  if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str())) {
    WaitForSingleObject(event, ms);
    CloseHandle(event);
  }
  say("main_wait_end");
}

// returns: 'L' object, 'V' void, 'I' int; an int result goes to *intResult.
jobject callStaticA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a, char returns,
                    const char* fn, jint* intResult = nullptr) {
  ThreadEnv* t = nullptr;
  jobject result = nullptr;
  DWORD mainWait = 0, secondarySleep = 0;
  const char* secondaryReturn = nullptr;
  std::string secondaryValue;
  {
    Call c(env, fn);
    t = c.t;
    Obj* k = as(cls, Kind::Class, fn);
    Method* m = method(id, fn);
    if (!k || !m) return nullptr;
    char methodReturns = m->sig.back() == ';' ? 'L' : m->sig.back();
    if (!m->isStatic || m->cls != k->name || methodReturns != returns) {
      say("JNI_WRONG_METHOD ", fn, " ", m->cls, ".", m->name);
      return nullptr;
    }
    if (m->name == "secondaryMain") {
      say(returns == 'I' ? "call_static_int " : "call_static_void ", m->cls, ".", m->name);
      jint sum = runSecondary(a[0].l, fn);
      if (intResult) *intResult = sum;
      secondarySleep = g.secondarySleepMs;
      secondaryReturn = "secondary_return ";
      secondaryValue = returns == 'I' ? std::to_string(sum) : "void";
    } else if (m->name == "checkAndLoadMain") {
      Obj* what = as(a[2].l, Kind::String, fn);
      std::string name = what ? utf8(what->text) : "";
      say("call_static_object ", m->cls, ".", m->name, " ", a[0].z ? 1 : 0, " ", a[1].i, " ",
          name);
      std::string slashed = swapSeparator(name, '.', '/');
      bool asTheRealLauncherAsks = a[0].z == JNI_TRUE && a[1].i == 1 && name.find('/') == std::string::npos;
      if (asTheRealLauncherAsks && g.appClasses.count(slashed)) {
        result = ref(classObj(slashed));
      } else if (g.helper == L"exit") {
        t->deferred = Deferred::Exit;
        t->exitCode = 1;
      } else {
        raise(t, "java/lang/NoClassDefFoundError", what ? what->text : L"");
      }
    } else {
      say("call_static_void ", m->cls, ".", m->name);
      if (m->name == "setOut" || m->name == "setErr") {
        setStream(*m, a[0].l, fn);
      } else if (m->name == "exit") {
        say("system_exit ", a[0].i);
        t->deferred = Deferred::Exit;
        t->exitCode = a[0].i;
      } else {
        runMain(t, *m, a[0].l, fn);
        mainWait = g.mainWaitMs;
        if (!mainWait) logQpc("main_return");
      }
    }
  }
  if (mainWait) {
    waitForPauseEvent(mainWait);
    logQpc("main_return");
  }
  if (secondarySleep) Sleep(secondarySleep);
  if (secondaryReturn) say(secondaryReturn, secondaryValue);
  runDeferred(t);
  return result;
}

jobject JNICALL callStaticObjectA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
  return callStaticA(env, cls, id, a, 'L', "CallStaticObjectMethodA");
}

jobject JNICALL callStaticObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
  return callStaticA(env, cls, id, readArgs(id, ap).data(), 'L', "CallStaticObjectMethodV");
}

jobject JNICALL callStaticObject(JNIEnv* env, jclass cls, jmethodID id, ...) {
  va_list ap;
  va_start(ap, id);
  std::vector<jvalue> a = readArgs(id, ap);
  va_end(ap);
  return callStaticA(env, cls, id, a.data(), 'L', "CallStaticObjectMethod");
}

void JNICALL callStaticVoidA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
  callStaticA(env, cls, id, a, 'V', "CallStaticVoidMethodA");
}

void JNICALL callStaticVoidV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
  callStaticA(env, cls, id, readArgs(id, ap).data(), 'V', "CallStaticVoidMethodV");
}

void JNICALL callStaticVoid(JNIEnv* env, jclass cls, jmethodID id, ...) {
  va_list ap;
  va_start(ap, id);
  std::vector<jvalue> a = readArgs(id, ap);
  va_end(ap);
  callStaticA(env, cls, id, a.data(), 'V', "CallStaticVoidMethod");
}

jint JNICALL callStaticIntA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* a) {
  jint result = 0;
  callStaticA(env, cls, id, a, 'I', "CallStaticIntMethodA", &result);
  return result;
}

jint JNICALL callStaticIntV(JNIEnv* env, jclass cls, jmethodID id, va_list ap) {
  jint result = 0;
  callStaticA(env, cls, id, readArgs(id, ap).data(), 'I', "CallStaticIntMethodV", &result);
  return result;
}

jint JNICALL callStaticInt(JNIEnv* env, jclass cls, jmethodID id, ...) {
  va_list ap;
  va_start(ap, id);
  std::vector<jvalue> a = readArgs(id, ap);
  va_end(ap);
  jint result = 0;
  callStaticA(env, cls, id, a.data(), 'I', "CallStaticIntMethod", &result);
  return result;
}

// An instance main, scripted like the static one; self must be an object of its class.
void callInstanceMain(JNIEnv* env, jobject self, const Method& m, const jvalue* a, const char* fn) {
  ThreadEnv* t = nullptr;
  DWORD mainWait = 0;
  {
    Call c(env, fn);
    t = c.t;
    Obj* o = deref(self, fn);
    if (!o || o->kind != Kind::Instance || o->name != m.cls) {
      say("JNI_WRONG_METHOD ", fn, " ", m.cls, ".", m.name);
      return;
    }
    say("call_void ", m.cls, ".", m.name);
    runMain(t, m, a[0].l, fn);
    mainWait = g.mainWaitMs;
    if (!mainWait) logQpc("main_return");
  }
  if (mainWait) {
    waitForPauseEvent(mainWait);
    logQpc("main_return");
  }
  runDeferred(t);
}

// The instance methods the launcher calls to read an exception's trace: printStackTrace of
// any exception raised so far, into a PrintStream over a ByteArrayOutputStream, and that
// buffer's toString. FAKEJVM_TRACE_FAULT makes either fail.
jobject callA(JNIEnv* env, jobject self, jmethodID id, const jvalue* a, bool wantObject,
              const char* fn) {
  Method main;
  bool isMain = false;
  {
    std::lock_guard<std::recursive_mutex> lock(g.mu);
    Method* m = g.methodIds.count(reinterpret_cast<Method*>(id)) ? reinterpret_cast<Method*>(id) : nullptr;
    isMain = m && !m->isStatic && !wantObject && m->name == "main" && g.appClasses.count(m->cls);
    if (isMain) main = *m;
  }
  if (isMain) {  // outside the lock: main may wait for the test
    callInstanceMain(env, self, main, a, fn);
    return nullptr;
  }
  Call c(env, fn);
  Obj* o = deref(self, fn);
  Method* m = method(id, fn);
  if (!o) say("JNI_BAD_ARGUMENT ", fn);
  if (!o || !m) return nullptr;
  bool returnsObject = m->sig.back() != 'V';
  if (m->isStatic || m->cls != classOf(o) || returnsObject != wantObject) {
    say("JNI_WRONG_METHOD ", fn, " ", m->cls, ".", m->name);
    return nullptr;
  }
  say(wantObject ? "call_object " : "call_void ", m->cls, ".", m->name);
  if (m->name == kPrintStackTrace) {
    Obj* stream = deref(a[0].l, fn);
    if (!stream) return raise(c.t, "java/lang/NullPointerException", L""), nullptr;
    if (stream->kind != Kind::Print) return say("JNI_BAD_ARGUMENT ", fn), nullptr;
    std::wstring printed = o->trace;
    if (g.traceFault == L"print_throws") {
      size_t end = printed.find(L'\n');
      printed.resize(end == std::wstring::npos ? printed.size() : end + 1);
    }
    if (stream->target->kind == Kind::Buffer) stream->target->text += printed;
    if (g.traceFault == L"print_throws")
      raise(c.t, "java/lang/IllegalStateException", L"printStackTrace failed");
    return nullptr;
  }
  Obj* charset = deref(a[0].l, fn);
  if (!charset || charset->kind != Kind::String || charset->text != L"UTF-8")
    return say("JNI_BAD_ARGUMENT ", fn, " charset"), nullptr;
  if (g.traceFault == L"tostring_null") return nullptr;
  if (g.traceFault == L"tostring_throws")
    return raise(c.t, "java/lang/OutOfMemoryError", L"toString failed"), nullptr;
  return ref(new Obj(Kind::String, "", o->text));
}

jobject JNICALL callObjectA(JNIEnv* env, jobject self, jmethodID id, const jvalue* a) {
  return callA(env, self, id, a, true, "CallObjectMethodA");
}

jobject JNICALL callObjectV(JNIEnv* env, jobject self, jmethodID id, va_list ap) {
  return callA(env, self, id, readArgs(id, ap).data(), true, "CallObjectMethodV");
}

jobject JNICALL callObject(JNIEnv* env, jobject self, jmethodID id, ...) {
  va_list ap;
  va_start(ap, id);
  std::vector<jvalue> a = readArgs(id, ap);
  va_end(ap);
  return callA(env, self, id, a.data(), true, "CallObjectMethod");
}

void JNICALL callVoidA(JNIEnv* env, jobject self, jmethodID id, const jvalue* a) {
  callA(env, self, id, a, false, "CallVoidMethodA");
}

void JNICALL callVoidV(JNIEnv* env, jobject self, jmethodID id, va_list ap) {
  callA(env, self, id, readArgs(id, ap).data(), false, "CallVoidMethodV");
}

void JNICALL callVoid(JNIEnv* env, jobject self, jmethodID id, ...) {
  va_list ap;
  va_start(ap, id);
  std::vector<jvalue> a = readArgs(id, ap);
  va_end(ap);
  callA(env, self, id, a.data(), false, "CallVoidMethod");
}

// The JDK 25 helper's two flags; a JDK 17 helper has no such fields.
const char* const kHelperFlags[] = {"isStaticMain", "noArgMain"};

jfieldID JNICALL getStaticFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  Call c(env, "GetStaticFieldID");
  Obj* k = as(cls, Kind::Class, "GetStaticFieldID");
  if (!k || !name || !sig) return nullptr;
  say("get_static_field ", k->name, " ", name, " ", sig);
  for (const char* const& flag : kHelperFlags) {
    if (!g.mainForm.empty() && k->name == kHelper && std::strcmp(name, flag) == 0 && std::strcmp(sig, "Z") == 0)
      return reinterpret_cast<jfieldID>(const_cast<char**>(&flag));
  }
  raise(c.t, "java/lang/NoSuchFieldError", widen(name));
  return nullptr;
}

jboolean JNICALL getStaticBooleanField(JNIEnv* env, jclass cls, jfieldID id) {
  Call c(env, "GetStaticBooleanField");
  Obj* k = as(cls, Kind::Class, "GetStaticBooleanField");
  const char* const* flag = reinterpret_cast<const char* const*>(id);
  if (!k || k->name != kHelper || flag < std::begin(kHelperFlags) || flag >= std::end(kHelperFlags))
    return say("JNI_BAD_ARGUMENT GetStaticBooleanField"), JNI_FALSE;
  bool value = flag == &kHelperFlags[0] ? g.mainForm.compare(0, 6, L"static") == 0
                                        : g.mainForm.find(L"_noargs") != std::wstring::npos;
  say("get_static_boolean ", k->name, ".", *flag, "=", value ? 1 : 0);
  return value ? JNI_TRUE : JNI_FALSE;
}

jclass JNICALL getObjectClass(JNIEnv* env, jobject h) {
  Call c(env, "GetObjectClass");
  Obj* o = deref(h, "GetObjectClass");
  if (!o) return say("JNI_BAD_ARGUMENT GetObjectClass"), nullptr;
  say("get_object_class ", classOf(o));
  return ref<jclass>(classObj(classOf(o)));
}

jcharArray JNICALL newCharArray(JNIEnv* env, jsize len) {
  Call c(env, "NewCharArray");
  if (len < 0) return raise(c.t, "java/lang/NegativeArraySizeException", L""), nullptr;
  return ref<jcharArray>(new Obj(Kind::Chars, "", std::wstring(static_cast<size_t>(len), L'\0')));
}

void JNICALL setCharArrayRegion(JNIEnv* env, jcharArray arr, jsize start, jsize len,
                                const jchar* buf) {
  Call c(env, "SetCharArrayRegion");
  Obj* o = as(arr, Kind::Chars, "SetCharArrayRegion");
  if (!o) return;
  if (start < 0 || len < 0 || static_cast<size_t>(start) + static_cast<size_t>(len) > o->text.size())
    return raise(c.t, "java/lang/ArrayIndexOutOfBoundsException", L"");
  for (jsize i = 0; i < len; ++i) o->text[static_cast<size_t>(start + i)] = static_cast<wchar_t>(buf[i]);
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize len, jclass cls, jobject init) {
  Call c(env, "NewObjectArray");
  Obj* k = as(cls, Kind::Class, "NewObjectArray");
  if (!k) return nullptr;
  if (len < 0) return raise(c.t, "java/lang/NegativeArraySizeException", L""), nullptr;
  Obj* o = new Obj(Kind::Array, k->name);
  o->elems.assign(static_cast<size_t>(len), deref(init, "NewObjectArray"));
  return ref<jobjectArray>(o);
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray arr, jsize i, jobject val) {
  const char* fn = "SetObjectArrayElement";
  Call c(env, fn);
  Obj* o = as(arr, Kind::Array, fn);
  if (!o) return;
  if (i < 0 || static_cast<size_t>(i) >= o->elems.size())
    return raise(c.t, "java/lang/ArrayIndexOutOfBoundsException", L"");
  Obj* v = deref(val, fn);
  if (v && o->name != "java/lang/Object" && classOf(v) != o->name)
    return raise(c.t, "java/lang/ArrayStoreException", widen(classOf(v).c_str()));
  o->elems[static_cast<size_t>(i)] = v;
}

jsize JNICALL getArrayLength(JNIEnv* env, jarray arr) {
  Call c(env, "GetArrayLength");
  Obj* o = deref(arr, "GetArrayLength");
  if (o && o->kind == Kind::Chars) return static_cast<jsize>(o->text.size());
  if (o && o->kind == Kind::Array) return static_cast<jsize>(o->elems.size());
  say("JNI_BAD_ARGUMENT GetArrayLength");
  return 0;
}

jsize JNICALL getStringLength(JNIEnv* env, jstring s) {
  Call c(env, "GetStringLength");
  Obj* o = as(s, Kind::String, "GetStringLength");
  return o ? static_cast<jsize>(o->text.size()) : 0;
}

const char* JNICALL getStringUTFChars(JNIEnv* env, jstring s, jboolean* isCopy) {
  Call c(env, "GetStringUTFChars");
  Obj* o = as(s, Kind::String, "GetStringUTFChars");
  if (!o) return nullptr;
  std::string m = utf8(o->text, true);
  char* p = new char[m.size() + 1];
  std::memcpy(p, m.c_str(), m.size() + 1);
  g.utfChars.insert(p);
  if (isCopy) *isCopy = JNI_TRUE;
  return p;
}

void JNICALL releaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
  Call c(env, "ReleaseStringUTFChars", true);
  as(s, Kind::String, "ReleaseStringUTFChars");
  if (!g.utfChars.erase(chars)) return say("JNI_BAD_RELEASE ReleaseStringUTFChars");
  delete[] chars;
}

void JNICALL deleteLocalRef(JNIEnv* env, jobject h) {
  Call c(env, "DeleteLocalRef", true);
  if (!h || !deref(h, "DeleteLocalRef")) return;
  Ref* r = reinterpret_cast<Ref*>(h);
  if (r->live) --g.liveLocalRefs[r->thread];
  r->live = false;
}

jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
  Call c(env, "ExceptionOccurred", true);
  return ref<jthrowable>(c.t->pending);
}

jboolean JNICALL exceptionCheck(JNIEnv* env) {
  Call c(env, "ExceptionCheck", true);
  return c.t->pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL exceptionDescribe(JNIEnv* env) {
  Call c(env, "ExceptionDescribe", true);
  Obj* e = c.t->pending;
  if (!e) return say("exception_describe none");
  std::string msg = utf8(e->text);
  say("exception_describe ", e->name, ": ", msg);
  emit(g.err, STD_ERROR_HANDLE,
       L"Exception in thread \"main\" " + widen(dotted(e->name).c_str()) + L": " + e->text + L"\r\n",
       "write_err");
  c.t->pending = nullptr;
}

jint JNICALL throwObject(JNIEnv* env, jthrowable h) {
  Call c(env, "Throw");
  Obj* e = as(h, Kind::Throwable, "Throw");
  if (!e) return JNI_ERR;
  say("throw_object ", e->name, " ", utf8(e->text));
  c.t->pending = e;
  return JNI_OK;
}

void JNICALL exceptionClear(JNIEnv* env) {
  Call c(env, "ExceptionClear", true);
  say("exception_clear");
  c.t->pending = nullptr;
}

// ---- JavaVM --------------------------------------------------------------------------------

bool checkVm(JavaVM* vm, const char* fn) {
  if (vm != &g.vm) say("JNI_BAD_VM ", fn);
  if (g.destroyed) say("JNI_CALL_AFTER_DESTROY ", fn);
  return vm == &g.vm;
}

ThreadEnv* attachCurrent(bool daemon) {
  ThreadEnv*& t = g.threads[GetCurrentThreadId()];
  if (!t) {
    t = new ThreadEnv();
    t->functions = &g.envTable;
    t->tid = GetCurrentThreadId();
  }
  if (!t->attached) t->daemon = daemon;
  t->attached = true;
  return t;
}

jint attach(JavaVM* vm, void** penv, bool daemon) {
  std::lock_guard<std::recursive_mutex> lock(g.mu);
  say(daemon ? "attach_daemon" : "attach");
  if (!checkVm(vm, daemon ? "AttachCurrentThreadAsDaemon" : "AttachCurrentThread")) return JNI_ERR;
  *penv = static_cast<JNIEnv*>(attachCurrent(daemon));
  return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM* vm, void** penv, void*) { return attach(vm, penv, false); }
jint JNICALL attachCurrentThreadAsDaemon(JavaVM* vm, void** penv, void*) {
  return attach(vm, penv, true);
}

jint JNICALL detachCurrentThread(JavaVM* vm) {
  std::lock_guard<std::recursive_mutex> lock(g.mu);
  checkVm(vm, "DetachCurrentThread");
  auto it = g.threads.find(GetCurrentThreadId());
  if (it == g.threads.end() || !it->second->attached) return say("detach not_attached"), JNI_OK;
  say("detach");
  ThreadEnv* t = it->second;
  if (t->pending) say("DETACH_WITH_PENDING_EXCEPTION ", t->pending->name);
  t->pending = nullptr;
  t->attached = false;
  for (Ref* r : g.refs)
    if (r->thread == t->tid) r->live = false;
  g.liveLocalRefs[t->tid] = 0;
  return JNI_OK;
}

jint JNICALL getEnv(JavaVM* vm, void** penv, jint version) {
  std::lock_guard<std::recursive_mutex> lock(g.mu);
  checkVm(vm, "GetEnv");
  auto it = g.threads.find(GetCurrentThreadId());
  bool attached = it != g.threads.end() && it->second->attached;
  jint result = !supportedVersion(version) ? JNI_EVERSION : attached ? JNI_OK : JNI_EDETACHED;
  *penv = result == JNI_OK ? static_cast<JNIEnv*>(it->second) : nullptr;
  say("get_env version=", hex(version), " result=", result);
  return result;
}

size_t otherLiveThreads() {
  size_t n = 0;
  for (auto& kv : g.threads)
    n += kv.second->attached && !kv.second->daemon && kv.first != GetCurrentThreadId();
  return n;
}

// Like the real VM, waits for the other non-daemon threads to detach; gives up after a while
// so that a launcher bug fails a test instead of hanging it.
jint JNICALL destroyJavaVM(JavaVM* vm) {
  std::unique_lock<std::recursive_mutex> lock(g.mu);
  say("destroy");
  logCallerThread();
  pauseAt("destroy");
  if (!checkVm(vm, "DestroyJavaVM") || g.destroyed) return JNI_ERR;
  if (size_t n = otherLiveThreads()) say("destroy_wait threads=", n);
  for (int waited = 0; otherLiveThreads() && waited < 5000; waited += 10) {
    lock.unlock();
    Sleep(10);
    lock.lock();
  }
  if (size_t n = otherLiveThreads()) say("DESTROY_TIMEOUT threads=", n);
  if (!g.utfChars.empty()) say("LEAKED_UTF_CHARS ", g.utfChars.size());
  g.destroyed = true;
  return JNI_OK;
}

// ---- tables --------------------------------------------------------------------------------

using AnyFn = void(JNICALL*)();

// Never returns, so the mismatched parameter list of a trap cannot unbalance a stdcall stack.
template <bool Vm, int N>
void JNICALL trap() {
  say(Vm ? "UNEXPECTED vm_slot " : "UNEXPECTED slot ", N);
  ExitProcess(97);
}

template <bool Vm, class Table, int... N>
void fillTraps(Table& table, std::integer_sequence<int, N...>) {
  AnyFn fns[] = {&trap<Vm, N>...};
  static_assert(sizeof(fns) == sizeof(Table), "function tables hold pointers only");
  std::memcpy(&table, fns, sizeof fns);
}

void buildTables() {
  JNINativeInterface_& e = g.envTable;
  fillTraps<false>(e, std::make_integer_sequence<int, sizeof(e) / sizeof(AnyFn)>{});
  e.GetVersion = getVersion;
  e.FindClass = findClass;
  e.ExceptionOccurred = exceptionOccurred;
  e.Throw = throwObject;
  e.ExceptionDescribe = exceptionDescribe;
  e.ExceptionClear = exceptionClear;
  e.ExceptionCheck = exceptionCheck;
  e.DeleteLocalRef = deleteLocalRef;
  e.GetMethodID = getMethodID;
  e.GetStaticMethodID = getStaticMethodID;
  e.GetStaticFieldID = getStaticFieldID;
  e.GetStaticBooleanField = getStaticBooleanField;
  e.NewObject = newObject;
  e.NewObjectV = newObjectV;
  e.NewObjectA = newObjectAJ;
  e.GetObjectClass = getObjectClass;
  e.CallObjectMethod = callObject;
  e.CallObjectMethodV = callObjectV;
  e.CallObjectMethodA = callObjectA;
  e.CallVoidMethod = callVoid;
  e.CallVoidMethodV = callVoidV;
  e.CallVoidMethodA = callVoidA;
  e.CallStaticObjectMethod = callStaticObject;
  e.CallStaticObjectMethodV = callStaticObjectV;
  e.CallStaticObjectMethodA = callStaticObjectA;
  e.CallStaticVoidMethod = callStaticVoid;
  e.CallStaticVoidMethodV = callStaticVoidV;
  e.CallStaticVoidMethodA = callStaticVoidA;
  e.CallStaticIntMethod = callStaticInt;
  e.CallStaticIntMethodV = callStaticIntV;
  e.CallStaticIntMethodA = callStaticIntA;
  e.GetStringLength = getStringLength;
  e.GetStringUTFChars = getStringUTFChars;
  e.ReleaseStringUTFChars = releaseStringUTFChars;
  e.GetArrayLength = getArrayLength;
  e.NewObjectArray = newObjectArray;
  e.SetObjectArrayElement = setObjectArrayElement;
  e.NewCharArray = newCharArray;
  e.SetCharArrayRegion = setCharArrayRegion;

  JNIInvokeInterface_& v = g.vmTable;
  fillTraps<true>(v, std::make_integer_sequence<int, sizeof(v) / sizeof(AnyFn)>{});
  v.DestroyJavaVM = destroyJavaVM;
  v.AttachCurrentThread = attachCurrentThread;
  v.DetachCurrentThread = detachCurrentThread;
  v.GetEnv = getEnv;
  v.AttachCurrentThreadAsDaemon = attachCurrentThreadAsDaemon;
  g.vm.functions = &g.vmTable;
}

// ---- create --------------------------------------------------------------------------------

// AllocationBase to the end of the last region of that allocation is the whole reservation.
size_t stackReservation() {
  int probe = 0;
  MEMORY_BASIC_INFORMATION mbi{};
  VirtualQuery(&probe, &mbi, sizeof mbi);
  char* base = static_cast<char*>(mbi.AllocationBase);
  char* p = base;
  while (VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi && mbi.AllocationBase == base)
    p += mbi.RegionSize;
  return static_cast<size_t>(p - base);
}

// FAKEJVM_TRACE's escapes: \\n \\r \\t \\0 and \\\\; any other backslash stays as it is.
std::wstring unescape(const std::wstring& s) {
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

void readScript() {
  g.helper = envOr(L"FAKEJVM_HELPER", L"yes");
  g.mainMode = envOr(L"FAKEJVM_MAIN", L"return");
  envVar(L"FAKEJVM_MAIN_FORM", g.mainForm);
  envVar(L"FAKEJVM_WRITE_OUT", g.writeOut);
  envVar(L"FAKEJVM_WRITE_ERR", g.writeErr);
  std::wstring trace;
  g.traceScripted = envVar(L"FAKEJVM_TRACE", trace);
  g.trace = unescape(trace);
  envVar(L"FAKEJVM_TRACE_FAULT", g.traceFault);
  g.secondaryForms = envOr(L"FAKEJVM_SECONDARY", L"none");
  g.secondarySleepMs = static_cast<DWORD>(std::wcstoul(envOr(L"FAKEJVM_SECONDARY_SLEEP", L"0").c_str(), nullptr, 10));
  g.mainWaitMs = static_cast<DWORD>(std::wcstoul(envOr(L"FAKEJVM_MAIN_WAIT", L"0").c_str(), nullptr, 10));
  g.bootClasses.insert(std::begin(kBuiltinClasses), std::end(kBuiltinClasses));
  if (g.helper != L"no") g.bootClasses.insert(kHelper);
  std::wstring classes;
  envVar(L"FAKEJVM_CLASSES", classes);
  for (const std::wstring& c : splitCommas(classes)) g.appClasses.insert(utf8(c));
}

void logEnvironment() {
  say("thread_stack reserved=", stackReservation());
  std::wstring names, value;
  envVar(L"FAKEJVM_LOG_ENV", names);
  for (const std::wstring& n : splitCommas(names)) {
    if (envVar(n.c_str(), value))
      say("env ", utf8(n), "=", utf8(value));
    else
      say("env ", utf8(n), " unset");
  }
  wchar_t cwd[MAX_PATH * 4];
  DWORD len = GetCurrentDirectoryW(MAX_PATH * 4, cwd);
  say("cwd ", utf8(std::wstring(cwd, len < MAX_PATH * 4 ? len : 0)));
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
    g_loaderThread = GetCurrentThreadId();
    envVar(L"FAKEJVM_LOG", g_logPath);
    std::vector<wchar_t> path(32768);
    DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    say("load ", utf8(std::wstring(path.data(), n)));
    buildTables();
  } else if (reason == DLL_PROCESS_DETACH) {
    say("unload reason=", reserved ? "exit" : "free");
  }
  return TRUE;
}

// Mirrors the real VM: a 1.1 request is answered with the defaults but still reports JNI_ERR,
// because 1.1 itself is not a supported version.
extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* p) {
  auto* a = static_cast<Jdk11InitArgs*>(p);
  say("default_args version=", hex(a->version));
  jint result = supportedVersion(a->version) ? JNI_OK : JNI_ERR;
  if (a->version == JNI_VERSION_1_1) {
    a->version = JNI_VERSION_1_2;
    a->javaStackSize = static_cast<jint>(std::wcstol(envOr(L"FAKEJVM_DEFAULT_STACK", L"1048576").c_str(), nullptr, 10));
  }
  return result;
}

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* p) {
  logQpc("create");
  pauseAt("create");
  std::lock_guard<std::recursive_mutex> lock(g.mu);
  auto* a = static_cast<JavaVMInitArgs*>(p);
  *pvm = nullptr;
  *penv = nullptr;
  say("create version=", hex(a->version), " nOptions=", a->nOptions,
      " ignoreUnrecognized=", a->ignoreUnrecognized ? 1 : 0);
  logCallerThread();
  for (jint i = 0; i < a->nOptions; ++i) {
    const char* s = a->options[i].optionString;
    std::string o = s ? s : "(null)";
    void* extra = a->options[i].extraInfo;
    if (o == "exit" || o == "abort" || o == "vfprintf")
      say("option ", o, " hook=", extra ? "set" : "null");
    else
      say("option ", o);
  }
  logEnvironment();
  if (g.created) return say("CREATE_AGAIN"), JNI_EEXIST;
  if (!supportedVersion(a->version)) return JNI_EVERSION;
  jint result = static_cast<jint>(std::wcstol(envOr(L"FAKEJVM_CREATE_RESULT", L"0").c_str(), nullptr, 10));
  if (result != JNI_OK) return result;
  for (jint i = 0; i < a->nOptions; ++i) {
    const char* s = a->options[i].optionString;
    if (s && std::strcmp(s, "exit") == 0)
      g.exitHook = reinterpret_cast<void(JNICALL*)(jint)>(a->options[i].extraInfo);
    if (s && std::strcmp(s, "abort") == 0)
      g.abortHook = reinterpret_cast<void(JNICALL*)()>(a->options[i].extraInfo);
  }
  readScript();
  g.created = true;
  *pvm = &g.vm;
  *penv = static_cast<JNIEnv*>(attachCurrent(false));
  return JNI_OK;
}

extern "C" JNIEXPORT jclass JNICALL JVM_FindClassFromBootLoader(JNIEnv* env, const char* name) {
  Call c(env, "JVM_FindClassFromBootLoader");
  std::string n = name ? name : "";
  say("find_class_boot ", n);
  return g.bootClasses.count(n) ? ref<jclass>(classObj(n)) : nullptr;
}
