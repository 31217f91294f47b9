#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QRect>
#include <cstdint>

// Positions, colours, the one font face and the hand cursor of the program's windows.
namespace mozhou::looks {

// Layouts are given in twips; at 96 dots per inch one pixel is 15 twips.
constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips) { return twips / kTwipsPerPixel; }
QRect pxRect(int left, int top, int width, int height);

// Colours are 0x00BBGGRR; a value with the top bit set names a system colour by index.
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kBlack = 0x00000000;
constexpr std::uint32_t kSysWindowBackground = 0x80000005;
constexpr std::uint32_t kSysWindowText = 0x80000008;
constexpr std::uint32_t kSysCaptionText = 0x80000009;
constexpr std::uint32_t kSysHighlight = 0x8000000D;
constexpr std::uint32_t kSysHighlightText = 0x8000000E;

// Resolves a colour value; system colours take the classic Windows scheme's values, whatever
// the desktop's theme, and unknown indexes give black.
QColor colour(std::uint32_t value);

// The 宋体 face, with Song-style fallbacks for systems that lack it.
QFont songFont(double pointSize);

// The custom hand cursor of clickable captions: 32 × 32, hot spot at (12, 1).
QCursor handCursor();

}  // namespace mozhou::looks
