// Window geometry given in twips (15 twips per pixel at 96 dots per inch).
#pragma once

#include <QRect>
#include <QWidget>

inline constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(int twips)
{
    return twips / kTwipsPerPixel;
}

inline void PlaceInTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

// Names a control and places it, in twips, in its container.
template <typename Control>
Control* Placed(Control* control, const char* name, int left, int top, int width, int height)
{
    control->setObjectName(QLatin1String(name));
    PlaceInTwips(control, left, top, width, height);
    return control;
}
