#pragma once
// TGA pictures, every variant the format defines, decoded to ARGB texels.
//
// SDL2_image 2.6 (and stb_image, gdk-pixbuf, ImageMagick's reader) each get some variants
// wrong without a word: the alpha bit of 16-bit texels, the alpha of 32-bit colour-map
// entries (SDL2_image keeps only one entry as a colour key), the colour map's first index,
// right-to-left rows, grey with alpha. This reader decodes them all as the format says, and
// refuses, naming the file and the reason, what it cannot decode exactly.
//
// What it reads: true colour of 15, 16, 24 and 32 bits, colour-mapped with 8-bit indices into
// 15-, 16-, 24- or 32-bit entries, grey of 8 bits or 8 bits and alpha, each
// uncompressed or run-length encoded, from any of the four corners. Five-bit channels widen
// to v × 255 / 31 rounded down, as ImageMagick does. Alpha: the fourth byte of 32-bit texels
// and entries, the top bit of 16-bit texels and entries whose header counts an alpha bit,
// the second byte of grey with alpha; everything else is opaque. Refused: interleaved rows,
// 8-bit true colour (not defined), 16-bit colour indices (which no reference reader decodes), premultiplied alpha (TGA 2.0), indices outside the colour
// map, texels past the end of the file, more texels than the file can hold.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/d3dx8.h"

namespace plat {

// Throws LoadError naming `name`.
DecodedImage ReadTga(const uint8_t* data, size_t size, const std::string& name);

}  // namespace plat
