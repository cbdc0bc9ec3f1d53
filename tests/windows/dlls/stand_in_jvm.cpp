// A stand-in for a runtime's jvm.dll. Which entry points it exports is chosen
// when it is built, so this one source gives every variant the loading tests
// need; each entry point returns a number of its own, so a test that calls it
// knows it reached this library and not another.
#if defined(STAND_IN_HELPER)
extern "C" __declspec(dllimport) int StandInHelperValue();
#endif

extern "C" __declspec(dllexport) int StandInMarker() { return 1; }

#if defined(STAND_IN_CREATE)
extern "C" __declspec(dllexport) int JNI_CreateJavaVM(void**, void**, void*) {
#if defined(STAND_IN_HELPER)
    return StandInHelperValue();
#else
    return -42;
#endif
}
#endif

#if defined(STAND_IN_DEFAULTS)
extern "C" __declspec(dllexport) int JNI_GetDefaultJavaVMInitArgs(void*) { return -43; }
#endif

#if defined(STAND_IN_FIND_CLASS)
extern "C" __declspec(dllexport) void* JVM_FindClassFromBootLoader(void*, const char*) {
    static int marker;
    return &marker;
}
#endif
