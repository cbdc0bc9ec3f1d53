// A library the stand-in jvm.dll imports, found only in the runtime's bin
// folder, as a real runtime's jvm.dll finds the C runtime it ships there.
extern "C" __declspec(dllexport) int StandInHelperValue() { return 7; }
