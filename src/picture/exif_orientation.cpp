#include "picture/exif_orientation.h"

#include <cstring>

#include <libexif/exif-data.h>

namespace picture {

int exifOrientation(const unsigned char *segment, size_t size)
{
    static const unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (segment == nullptr || size < sizeof kExifHeader || std::memcmp(segment, kExifHeader, sizeof kExifHeader) != 0)
        return 1;

    ExifData *data = exif_data_new();
    if (data == nullptr)
        return 1;
    // Read the tags as they are stored: libexif's repairs would add tags
    // with default values that the file does not have.
    exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data, segment, unsigned(size));

    int orientation = 1;
    ExifEntry *entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry != nullptr && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data != nullptr
        && entry->size >= 2) {
        const int value = exif_get_short(entry->data, exif_data_get_byte_order(data));
        if (value >= 1 && value <= 8)
            orientation = value;
    }
    exif_data_unref(data);
    return orientation;
}

} // namespace picture
