// Defaults for the leak checker of sanitizer builds, compiled into every test
// program and into plugin-host.
//
// Fontconfig (used by cairo's text drawing) loads its configuration once per
// process and keeps it until exit on purpose; there is no call that releases
// it while other libraries may still use it. That is the only suppression.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
