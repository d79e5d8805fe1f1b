#pragma once

// The inverse DCT of the JPEG reader, left out where no sampled pixel needs
// it. Used by jpeg_codec.cpp alone.

#include <vector>

#include <cstdio>

#include <jpeglib.h>

namespace picture::jpeg {

// In a component that is not upsampled (the luma of 4:2:0, every component
// of 4:4:4), each output pixel comes from its own sample alone, so a block
// none of whose columns is sampled need not be turned into samples at all:
// its inverse DCT is left out and its samples are never read. (An upsampled
// component's samples spread to their neighbours, so all of its blocks are
// made.) The sampled pixels stay exactly the full decode's.
//
// Puts this in place of the inverse DCT of each component that is not
// upsampled, for the source columns in pick, on the calling thread, until
// the next call: call after jpeg_start_decompress (which chooses the
// methods) and decode on the same thread. Everything lives in libjpeg's
// pool, freed with the codec.
void leaveOutUnsampledBlocks(j_decompress_ptr codec, const std::vector<int> &pick);

} // namespace picture::jpeg
