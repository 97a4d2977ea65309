// Leak checker defaults of the fuzz targets that draw through cairo: fontconfig,
// loaded by cairo for text, keeps its configuration for the life of the process.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
