#include "picture/jpeg_blocks.h"

#include <algorithm>
#include <cstring>

#include <jpegint.h>

namespace picture::jpeg {
namespace {

struct BlockColumns {
    inverse_DCT_method_ptr real[MAX_COMPONENTS];
    const unsigned char *needed[MAX_COMPONENTS]; // by block column; null: every block
};

// The columns of the decoding under way on this thread.
thread_local const BlockColumns *tBlockColumns = nullptr;

void selectiveIdct(j_decompress_ptr codec, jpeg_component_info *component, JCOEFPTR coefficients, JSAMPARRAY output,
                   JDIMENSION column)
{
    const BlockColumns *columns = tBlockColumns;
    const int index = component->component_index;
    const unsigned char *needed = columns->needed[index];
    if (needed && !needed[column / JDIMENSION(component->DCT_scaled_size)])
        return;
    columns->real[index](codec, component, coefficients, output, column);
}

} // namespace

void leaveOutUnsampledBlocks(j_decompress_ptr codec, const std::vector<int> &pick)
{
    auto *columns = static_cast<BlockColumns *>(
        (*codec->mem->alloc_small)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE, sizeof(BlockColumns)));
    for (int i = 0; i < codec->num_components && i < MAX_COMPONENTS; ++i) {
        jpeg_component_info &component = codec->comp_info[i];
        columns->real[i] = codec->idct->inverse_DCT[i];
        columns->needed[i] = nullptr;
        if (component.h_samp_factor != codec->max_h_samp_factor || component.v_samp_factor != codec->max_v_samp_factor
            || component.DCT_scaled_size <= 0)
            continue;
        const size_t blocks = size_t(component.width_in_blocks) + 1;
        auto *needed = static_cast<unsigned char *>(
            (*codec->mem->alloc_small)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE, blocks));
        std::memset(needed, 0, blocks);
        for (int column : pick)
            needed[std::min(blocks - 1, size_t(column) / size_t(component.DCT_scaled_size))] = 1;
        columns->needed[i] = needed;
        codec->idct->inverse_DCT[i] = selectiveIdct;
    }
    tBlockColumns = columns;
}

} // namespace picture::jpeg
