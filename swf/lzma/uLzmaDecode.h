// One LZMA stream (as stored in a movie file: five property bytes, then the
// raw stream without the end mark or length) decoded into a bounded buffer.
// This header keeps the decoder's own headers (which pull in platform
// headers on Windows) away from the portable code.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes into out (capacity outCap). Returns the number of bytes written
// (at most outCap); *complete is set to 1 when the output was filled or the
// stream ended cleanly, 0 when the input was damaged or ran out first.
size_t ZembraLzmaDecode(const unsigned char* props, const unsigned char* in, size_t inSize,
                        unsigned char* out, size_t outCap, int* complete);

#ifdef __cplusplus
}
#endif
