#pragma once
// The main window's built-in picture: the character Vimo beside a flag pole, a speech bubble to
// its right. Drawn in code so that the picture lives in one place; the holiday animation is
// drawn to the same layout, so the flag and the bubble must stay where they are.

#include <QImage>

inline constexpr int kSceneWidth = 603;
inline constexpr int kSceneHeight = 202;

// A fresh 603 x 202 picture in 24-bit RGB.
QImage BuiltInScene();
