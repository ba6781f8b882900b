#include "uLzmaDecode.h"

#include <stdlib.h>

#include "LzmaDec.h"

static void* LzmaAlloc(void* p, size_t size) {
    (void)p;
    return malloc(size);
}
static void LzmaFree(void* p, void* address) {
    (void)p;
    free(address);
}

size_t ZembraLzmaDecode(const unsigned char* props, const unsigned char* in, size_t inSize,
                        unsigned char* out, size_t outCap, int* complete) {
    ISzAlloc alloc = {LzmaAlloc, LzmaFree};
    CLzmaDec dec;
    SizeT outLen = outCap;
    SizeT inLen = inSize;
    ELzmaStatus status;
    SRes res;
    unsigned char ownProps[LZMA_PROPS_SIZE];
    size_t dict;
    *complete = 0;
    /* The dictionary never needs to exceed the whole output; a hostile
       header asking for gigabytes gets what the output can use. */
    dict = (size_t)props[1] | ((size_t)props[2] << 8) | ((size_t)props[3] << 16) |
           ((size_t)props[4] << 24);
    if (dict > outCap)
        dict = outCap;
    if (dict < 4096)
        dict = 4096;
    ownProps[0] = props[0];
    ownProps[1] = (unsigned char)(dict & 0xff);
    ownProps[2] = (unsigned char)((dict >> 8) & 0xff);
    ownProps[3] = (unsigned char)((dict >> 16) & 0xff);
    ownProps[4] = (unsigned char)((dict >> 24) & 0xff);
    LzmaDec_Construct(&dec);
    if (LzmaDec_Allocate(&dec, ownProps, LZMA_PROPS_SIZE, &alloc) != SZ_OK)
        return 0;
    LzmaDec_Init(&dec);
    res = LzmaDec_DecodeToBuf(&dec, out, &outLen, in, &inLen, LZMA_FINISH_ANY, &status);
    LzmaDec_Free(&dec, &alloc);
    if (outLen > outCap)
        outLen = 0;
    *complete = res == SZ_OK && (outLen == outCap || status == LZMA_STATUS_FINISHED_WITH_MARK);
    return outLen;
}
