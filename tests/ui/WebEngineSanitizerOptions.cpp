// What the sanitizers leave alone in the window tests, the one test binary that runs Chromium (Qt
// WebEngine) inside itself. Chromium and fontconfig, as Chromium uses them, keep allocations for the
// life of the process and never free them; and Chromium frees some of its page objects through a
// base class of another size when a page that failed to load goes away. Neither is ours, and both
// would fail window tests; leaks of our own code are still reported, and every other test binary
// keeps the type check.

extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __asan_default_options();

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt6WebEngineCore.so\n"
         "leak:libfontconfig.so\n";
}

extern "C" const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}
