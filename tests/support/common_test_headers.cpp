// Compiles the tests' common headers once; the tests reuse what this compiles.
#include "common_test_headers.h"
