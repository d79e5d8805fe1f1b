#pragma once

#include <atomic>

namespace picture {

// How a picture file is read. The window loads with the defaults; the open
// dialog's preview reads with a smaller memory cap and a flag that abandons
// the reading as soon as another file is highlighted.
struct ReadOptions {
    // The most memory libjpeg may take for its own buffers. The default is
    // enough for the coefficients of a 200-megapixel progressive 4:2:0 photo
    // (about 600 MB), so that any photo a current phone or camera makes loads;
    // a header that declares a larger progressive picture ends with libjpeg's
    // error instead of exhausting the machine.
    long decoderMemory = 1024L * 1024 * 1024;
    // When set, the reading stops soon after it turns true, with
    // FailureCode::Cancelled. Checked between scans and rows.
    const std::atomic<bool> *cancelled = nullptr;

    bool isCancelled() const { return cancelled && cancelled->load(std::memory_order_relaxed); }
};

} // namespace picture
