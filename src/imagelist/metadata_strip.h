#pragma once
// Taking what a picture says about its owner out of its file without touching its pixels:
// segments and chunks are dropped whole and everything else is copied byte for byte, so the
// compressed image data stays identical and nothing is decoded.
#include <string>
#include <string_view>

#include "shell/outcome.h"

namespace lumar {

// The file's bytes without what was dropped, or why its structure could not be followed.
using StripResult = Outcome<std::string>;

// JPEG: drops EXIF, XMP, Photoshop (APP13) and every other APPn segment and the comments; keeps
// JFIF (APP0), Adobe (APP14) and the colour profile (APP2 ICC_PROFILE), without which a
// wide-gamut photo shows wrong colours. When the EXIF block held an orientation other than 1,
// a minimal EXIF block holding only that orientation takes its place, so the picture still
// shows upright.
StripResult StripJpegMetadata(std::string_view jpeg);

// PNG: drops the text chunks (tEXt, zTXt, iTXt), eXIf and tIME, and anything after IEND.
StripResult StripPngMetadata(std::string_view png);

// WebP: drops the EXIF and XMP chunks of an extended file and clears their flags.
StripResult StripWebPMetadata(std::string_view webp);

// Whether a PNG or WebP file is an animation (an acTL chunk before the first image data; the
// animation flag of an extended WebP file). Shrinking such a file would keep one frame alone.
bool IsAnimation(std::string_view bytes);

// The EXIF orientation (1..8) of a JPEG file, 1 when it names none.
int JpegOrientation(std::string_view jpeg);

// How many segments with a length (APPn, tables, frame and scan headers, comments) a JPEG file
// holds up to its end of image, those between the scans included; 0 for no JPEG file.
size_t JpegSegmentCount(std::string_view jpeg);

}  // namespace lumar
