#include "picture/exif_orientation.h"

#include <cstring>
#include <vector>

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

    // The tag is a SHORT by the standard; some writers store it as a LONG,
    // which other readers honour as well.
    int orientation = 1;
    ExifEntry *entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry != nullptr && entry->components >= 1 && entry->data != nullptr) {
        const ExifByteOrder order = exif_data_get_byte_order(data);
        long value = 0;
        if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2)
            value = exif_get_short(entry->data, order);
        else if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4)
            value = long(exif_get_long(entry->data, order));
        if (value >= 1 && value <= 8)
            orientation = int(value);
    }
    exif_data_unref(data);
    return orientation;
}

int exifOrientationOfTiff(const unsigned char *tiff, size_t size)
{
    std::vector<unsigned char> segment{'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff, tiff + size);
    return exifOrientation(segment.data(), segment.size());
}

} // namespace picture
