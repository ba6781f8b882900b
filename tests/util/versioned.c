/* Nothing but a version resource matters in this library. */
__declspec(dllexport) int util_versioned_marker(void) { return 1; }
