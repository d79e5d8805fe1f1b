#include "picture/jpeg_encoder.h"

#include "core/failure.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

namespace picture {
namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to the setjmp of guardedEncode; only C frames of libjpeg lie
// between the two, so no C++ destructor is skipped.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onFatalError(j_common_ptr codec) { std::longjmp(reinterpret_cast<ErrorManager *>(codec->err)->jump, 1); }
void onMessage(j_common_ptr, int) {}
void onOutputMessage(j_common_ptr) {}

constexpr size_t kWriteChunk = 16 * 1024;

struct ByteArrayDestination {
    jpeg_destination_mgr pub;
    QByteArray *bytes = nullptr;
    JOCTET buffer[kWriteChunk];
};

void initDestination(j_compress_ptr codec)
{
    auto *destination = reinterpret_cast<ByteArrayDestination *>(codec->dest);
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kWriteChunk;
}

boolean emptyOutput(j_compress_ptr codec)
{
    auto *destination = reinterpret_cast<ByteArrayDestination *>(codec->dest);
    destination->bytes->append(reinterpret_cast<const char *>(destination->buffer), qsizetype(kWriteChunk));
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kWriteChunk;
    return TRUE;
}

void termDestination(j_compress_ptr codec)
{
    auto *destination = reinterpret_cast<ByteArrayDestination *>(codec->dest);
    destination->bytes->append(reinterpret_cast<const char *>(destination->buffer),
                               qsizetype(kWriteChunk - destination->pub.free_in_buffer));
}

bool guardedEncode(jpeg_compress_struct *codec, ErrorManager *errors, const uchar *pixels, qsizetype stride)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_set_defaults(codec);
    jpeg_set_quality(codec, 90, TRUE);
    codec->dct_method = JDCT_FLOAT;
    jpeg_start_compress(codec, TRUE);
    while (codec->next_scanline < codec->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * qsizetype(codec->next_scanline));
        jpeg_write_scanlines(codec, &row, 1);
    }
    jpeg_finish_compress(codec);
    return true;
}

struct Compressor {
    jpeg_compress_struct codec;
    ErrorManager errors;
    ByteArrayDestination destination;
    Compressor()
    {
        jpeg_std_error(&errors.pub);
        errors.pub.error_exit = onFatalError;
        errors.pub.emit_message = onMessage;
        errors.pub.output_message = onOutputMessage;
        codec.err = &errors.pub;
        jpeg_create_compress(&codec);
    }
    ~Compressor() { jpeg_destroy_compress(&codec); }
};

} // namespace

QByteArray encodeJpeg(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray bytes;
    auto compressor = std::make_unique<Compressor>();
    jpeg_compress_struct &codec = compressor->codec;
    compressor->destination.bytes = &bytes;
    compressor->destination.pub.init_destination = initDestination;
    compressor->destination.pub.empty_output_buffer = emptyOutput;
    compressor->destination.pub.term_destination = termDestination;
    codec.dest = &compressor->destination.pub;

    codec.image_width = JDIMENSION(rgb.width());
    codec.image_height = JDIMENSION(rgb.height());
    codec.input_components = 3;
    codec.in_color_space = JCS_RGB;
    if (!guardedEncode(&codec, &compressor->errors, rgb.constBits(), rgb.bytesPerLine()))
        throw Failure(FailureCode::JpegError, {.number = compressor->errors.pub.msg_code});
    return bytes;
}

} // namespace picture
