// A plain LZHUF decoder written step by step from the format description:
// one bit at a time from a 16-bit buffer, one getc per input byte, one putc
// per output byte, its own tree code.  The tests use it as the oracle for the
// fast decoder; the benchmark uses it as the baseline.
#pragma once

#include <cstdio>

// Decodes the payload file open in source into dest.  False when the header
// is shorter than 4 bytes.
bool BaselineExpand(std::FILE* source, std::FILE* dest);
