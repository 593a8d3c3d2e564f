#pragma once
// Operations on packed images shared by the montage engine, the collection
// builders, the windows and printing. Each returns a new image the caller
// owns (or null) and leaves its input as it was unless said otherwise. Only
// a failed block allocation shows a message (the memory message of
// AllocImageBlock); null handles, empty sizes and unsupported depths fail
// quietly.

#include <cstdint>
#include <cstdio>

#include "image/packed_image.h"

namespace tx {

/// A rectangle in pixels; right and bottom are exclusive. For CropImage, top
/// and bottom are stored rows counted from the bottom (first row, row bound).
struct ImageRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const ImageRect&) const = default;
};

/// The abort switch: while set, ScaleImage and CropImage poll the cancel flag
/// once per output row and give up (freeing the partial result, returning
/// null) when a cancel was requested. Process-wide; clear by default.
void SetImageAbortSwitch(bool on);
bool ImageAbortSwitch();

/// Bilinear scaling with weights in eighths for 24-bit and gray images,
/// nearest neighbour for 1-, 4- and other 8-bit images (depth and colour
/// table kept). Null when a size is below 1, the depth is not 24, 8, 4 or 1,
/// or on abort.
GlobalHandle ScaleImage(GlobalHandle image, int newWidth, int newHeight);

/// Separable Mitchell-filter (B = C = 1/3) resampling in 16.16 fixed point of
/// an 8- or 24-bit image. Null for other depths or sizes below 1.
GlobalHandle ResampleMitchell(GlobalHandle image, int newWidth, int newHeight);

/// Nearest-neighbour copy fitted into a box: 24 bits out (an 8-bit gray
/// image stays gray; 1-, 4-, 8- and 16-bit colour images are expanded). With
/// keepAspect the picture keeps its proportions; `rounding` rounds the
/// computed side to nearest instead of down; a side never drops below 1
/// pixel. Null for other depths or a box side below 1.
GlobalHandle FitImageForDisplay(GlobalHandle image, int boxWidth, int boxHeight, bool keepAspect,
                                bool rounding);

/// Where DrawImageFitted puts an image of the given size in `box`: centred,
/// except that an axis on which the box is at most 1 pixel larger than the
/// image (or smaller) gets an offset of 0.
ImageRect PlaceFittedImage(const ImageRect& box, int imageWidth, int imageHeight);

/// A copy of the stored rows [rect.top, rect.bottom) and columns
/// [rect.left, rect.right), rows counted from the bottom, with the header's
/// colour table. Null when the rectangle is empty or not inside the image,
/// or on abort.
GlobalHandle CropImage(GlobalHandle image, const ImageRect& rect);

/// CropImage with a rectangle in top-down picture coordinates, clipped to
/// the image first.
GlobalHandle CropImageTopDown(GlobalHandle image, const ImageRect& rect);

/// Copies `source` into `destination` with its top-left corner at (x, y),
/// y counted from the top. Both 8 or both 24 bits. Returns 1, or 0 when the
/// depths differ or are unsupported, or the source does not fit.
int PasteImage(GlobalHandle destination, GlobalHandle source, int x, int y);

/// A 24-bit copy of a 1-, 4-, 8- or 16-bit (5-5-5) image through its colour
/// table. When a 1-, 4- or 8-bit source's biClrUsed is 0 it is first set in
/// the source to 2^depth. Null for 24-bit or other input.
GlobalHandle ConvertToTrueColour(GlobalHandle image);

/// An 8-bit gray copy (256-entry gray ramp) of a 1-, 4-, 8- or 24-bit image:
/// each colour becomes (r * 77 + g * 150 + b * 29 + 128) >> 8, so a gray image
/// is copied exactly. Null for other depths.
GlobalHandle ConvertToGray(GlobalHandle image);

/// A block holding `size` bytes read from `offset` of `file`, or null when
/// the file is shorter or cannot be read (the block then is freed).
GlobalHandle ReadBlock(std::FILE* file, std::uint64_t offset, std::uint32_t size);

}  // namespace tx
