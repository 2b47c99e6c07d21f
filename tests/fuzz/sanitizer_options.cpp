// AddressSanitizer's settings for every fuzz target, built into each so that
// a target run by hand behaves as in the smoke runs and scripts/fuzz.sh.
//
// Freed memory is held back from reuse (the quarantine) so that a use after
// free is caught. With the default 256 MB, each input's allocations (the
// fuzzer's own copy of the input among them) landed on memory not touched
// for a long while, and the page faults that cost took most of each
// target's time. 16 MB is still thousands of times what one input
// allocates, so a use after free within an input is still caught.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
