// The system's font configuration library keeps a few allocations for the life of the process,
// which the sanitizer builds' leak checker would report against every widget test (ours still show).

extern "C" const char* __lsan_default_suppressions();  // read by the leak checker, when linked in

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
