// Leak checker defaults of the fuzz targets that draw through cairo.
//
// Fontconfig, loaded by cairo for text, keeps its configuration for the life
// of the process and never frees it; the leak check at exit would report it
// after every run. Nothing of this system allocates inside fontconfig.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
