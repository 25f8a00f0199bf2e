// CUR files go through the icon decoder: the same target as fuzz_ico, seeded from the cursor
// corpus.
#include "fuzz/fuzz_ico.cpp"
