// The shipped library is assembled from the module libraries; this unit only
// gives the target a source of its own.
namespace {
[[maybe_unused]] const char kLibraryName[] = "libRavudaRovudeZazizu.so";
}
