#include "common/twips.h"

#include <cmath>

double twipsPerPixel(double dpi)
{
    return 1440.0 / dpi;
}

float pixelsToTwips(int pixels, double dpi)
{
    return float(pixels * twipsPerPixel(dpi));
}

int twipsToPixels(double twips, double dpi)
{
    return int(std::nearbyint(twips / twipsPerPixel(dpi)));
}
