#pragma once

// Window sizes are kept in twips, 1/1440 inch, so a size saved on one screen
// means the same physical size on another. The screen's logical DPI gives the
// pixels: 1440 / dpi twips to a pixel (15 at 96 dpi).

double twipsPerPixel(double dpi);
float pixelsToTwips(int pixels, double dpi);
// Rounded to the nearest pixel, an exact half to the even neighbour.
int twipsToPixels(double twips, double dpi);
