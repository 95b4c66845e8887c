#pragma once
// The compiled-in icon table (embeddedimages.cpp, written by
// tools/make-icons.py). Each record holds one image's pixel rows in
// qCompress form; the table ends with a record whose data is null.

#include <cstdint>

struct EmbeddedImage
{
    std::int32_t width;
    std::int32_t height;
    std::int32_t depth;              // 32: ARGB words, 8: colour-table indices
    const unsigned char *data;       // qCompress'd rows, top to bottom
    std::uint32_t compressed;        // bytes at data
    std::int32_t numColors;          // colour-table entries; 0 for 32-bit images
    const std::uint32_t *colorTable; // ARGB entries; null for 32-bit images
    bool alpha;                      // whether transparency is honoured
    const char *name;                // UTF-8 lookup name
};

extern const EmbeddedImage kEmbeddedImages[];
