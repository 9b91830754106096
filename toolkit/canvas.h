// Drawing surface of a form and the interface controls paint with. A canvas
// has an origin (the painted control's top-left corner in surface pixels) and
// a clip rectangle; all coordinates given to it are relative to the origin.
#pragma once

#include <memory>
#include <string_view>

#include "foundation/ustring.h"
#include "toolkit/types.h"

namespace plat::ui {
class Surface;
class Font;
}  // namespace plat::ui

namespace UIK {

// A picture: a skin, a resource image or anything painted offscreen.
class GBitmap {
public:
    GBitmap(int width, int height);
    explicit GBitmap(std::unique_ptr<plat::ui::Surface> s);
    ~GBitmap();
    // From a BMP image in memory (colour 255,0,255 is transparent); null when
    // unreadable.
    static std::unique_ptr<GBitmap> FromBmp(const void* data, size_t size);

    int Width() const;
    int Height() const;
    GColor Pixel(int x, int y) const;
    bool SavePng(const char* path) const;
    plat::ui::Surface& surface() const { return *s_; }

private:
    std::unique_ptr<plat::ui::Surface> s_;
};

// A font of the toolkit's table (see resources.h).
class GFont {
public:
    explicit GFont(std::unique_ptr<plat::ui::Font> f);
    ~GFont();
    int LineHeight() const;
    // Width and height of one line.
    GPoint Measure(std::u16string_view text) const;
    plat::ui::Font& font() const { return *f_; }

private:
    std::unique_ptr<plat::ui::Font> f_;
};

// Text alignment bits.
enum GAlign : unsigned {
    kAlignLeft = 1, kAlignCenter = 2, kAlignRight = 4,
    kAlignTop = 8, kAlignMiddle = 16, kAlignBottom = 32,
};

// Forgets the stretched skin pictures (when the skins are deleted).
void DropSkinCache();

class GCanvas {
public:
    explicit GCanvas(GBitmap& target);

    GBitmap& Target() const { return *target_; }
    // Moves the origin to (x, y) relative to the current origin and narrows
    // the clip to the rectangle of width x height there. Restore undoes it.
    struct State {
        GPoint origin;
        GRect clip;
    };
    State Save() const { return {origin_, clip_}; }
    void Restore(const State& s);
    void Enter(const GRect& r);  // r relative to the current origin
    void ClipTo(const GRect& r);  // narrows the clip only (relative)
    // The clip in the current coordinates; empty means nothing will be drawn.
    GRect ClipRect() const;

    void FillRect(const GRect& r, GColor c);
    // A frame of the given pen width inside r.
    void FrameRect(const GRect& r, GColor c, int pen = 1);
    void HLine(int x0, int x1, int y, GColor c);
    void VLine(int x, int y0, int y1, GColor c);

    // Draws part src of bmp at (x, y).
    void DrawBitmap(const GBitmap& bmp, const GRect& src, int x, int y);
    void DrawBitmap(const GBitmap& bmp, int x, int y);
    void StretchBitmap(const GBitmap& bmp, const GRect& src, const GRect& dst);
    // Nine-slice: the corners (margin pixels) of src are kept, the edges and
    // the middle are stretched to fill dst. The stretched picture is kept for
    // reuse, keyed by the bitmap's address: a caller that deletes a bitmap it
    // drew this way calls DropSkinCache (skins and images need not).
    void DrawSkin(const GBitmap& bmp, const GRect& src, const GRect& dst, int margin);

    // One line of text at (x, y) (top-left of the line box).
    void DrawTextLine(const GFont& font, std::u16string_view text, int x, int y, GColor c);
    // Text in a rectangle with alignment bits; lines break at '\n' and, with
    // wrap, also between words to fit the width.
    void DrawText(const GFont& font, std::u16string_view text, const GRect& r, unsigned align, bool wrap,
                  GColor c);

    // Splits text into the lines DrawText would draw in the given width
    // (width <= 0 or no wrap: only at '\n').
    static std::vector<std::u16string> BreakLines(const GFont& font, std::u16string_view text, int width,
                                                  bool wrap);
    // True when DrawText would show the whole text in r: every line as wide
    // as r at most, all lines inside its height, and (with wrap) no word
    // broken between characters.
    static bool TextFits(const GFont& font, std::u16string_view text, const GRect& r, bool wrap);
    // Size of the text block DrawText would draw.
    static GPoint MeasureText(const GFont& font, std::u16string_view text, int width, bool wrap);

private:
    void DrawSkin(const GBitmap& bmp, const GRect& src, const GRect& dst, int margin, int uncached);
    GBitmap* target_;
    bool copy_ = false;  // stretch by copying pixels (building a cached picture)
    GPoint origin_{};
    GRect clip_{};  // surface coordinates
};

}  // namespace UIK
