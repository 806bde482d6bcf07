#pragma once

#include <QRect>
#include <QSize>

// Layouts are measured in twips; 15 twips make one device-independent pixel at 96 dpi.
// One rounding rule for every conversion: to the nearest pixel.
constexpr int twipsToPx(int twips)
{
    return (twips + 7) / 15;
}

struct TwipsRect
{
    int left, top, width, height;
    constexpr QRect toPx() const
    {
        return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
    }
};

constexpr QSize twipsToPx(int width, int height)
{
    return QSize(twipsToPx(width), twipsToPx(height));
}
