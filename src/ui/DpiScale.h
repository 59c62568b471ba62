#pragma once
// Sizes are drawn and stored for 96 DPI (100 %) and shown at the DPI of the
// window's monitor.

constexpr int kBaseDpi = 96;

// `value` given at `fromDpi`, at `toDpi`, rounded to the nearest pixel. A
// DPI that is not positive leaves the value as it is.
int RescaleForDpi(int value, int fromDpi, int toDpi);
inline int ScaleToDpi(int value, int dpi) { return RescaleForDpi(value, kBaseDpi, dpi); }

// The scale whose images are drawn for `dpi`: 100, 150 or 200, the largest
// not above it, so that an image is never shrunk by the system.
int ImageScaleForDpi(int dpi);
