// LeakSanitizer reads these when the tests run under it: Chromium inside Qt WebEngine, and
// fontconfig as Chromium uses it, keep allocations for the life of the process and never free them.
// Leaks from our own code are still reported.

extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt6WebEngineCore.so\n"
         "leak:libfontconfig.so\n";
}
