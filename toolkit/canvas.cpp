#include "toolkit/canvas.h"

#include <map>
#include <vector>

#include "platform/native_ui.h"

namespace UIK {

namespace {
plat::ui::Rect P(const GRect& r) { return {r.left, r.top, r.width, r.height}; }
}  // namespace

// ---- GBitmap --------------------------------------------------------------------

GBitmap::GBitmap(int width, int height) : s_(std::make_unique<plat::ui::Surface>(width, height)) {}
GBitmap::GBitmap(std::unique_ptr<plat::ui::Surface> s) : s_(std::move(s)) {}
GBitmap::~GBitmap() = default;

std::unique_ptr<GBitmap> GBitmap::FromBmp(const void* data, size_t size) {
    auto s = plat::ui::Surface::FromBmp(data, size);
    if (!s) return nullptr;
    return std::make_unique<GBitmap>(std::move(s));
}

int GBitmap::Width() const { return s_->Width(); }
int GBitmap::Height() const { return s_->Height(); }
GColor GBitmap::Pixel(int x, int y) const { return GColor::FromArgb(s_->Pixel(x, y)); }
bool GBitmap::SavePng(const char* path) const { return s_->SavePng(path); }

// ---- GFont ------------------------------------------------------------------------

GFont::GFont(std::unique_ptr<plat::ui::Font> f) : f_(std::move(f)) {}
GFont::~GFont() = default;
int GFont::LineHeight() const { return f_->LineHeight(); }
GPoint GFont::Measure(std::u16string_view text) const {
    int w = 0, h = 0;
    f_->Measure(text::to_utf8(text), &w, &h);
    return {w, h};
}

// ---- GCanvas ----------------------------------------------------------------------

GCanvas::GCanvas(GBitmap& target) : target_(&target), clip_{0, 0, target.Width(), target.Height()} {}

void GCanvas::Restore(const State& s) {
    origin_ = s.origin;
    clip_ = s.clip;
}

void GCanvas::Enter(const GRect& r) {
    GRect abs = r.Offset(origin_.x, origin_.y);
    clip_ = clip_.Intersect(abs);
    origin_ = {abs.left, abs.top};
}

void GCanvas::ClipTo(const GRect& r) { clip_ = clip_.Intersect(r.Offset(origin_.x, origin_.y)); }

GRect GCanvas::ClipRect() const { return clip_.Offset(-origin_.x, -origin_.y); }

void GCanvas::FillRect(const GRect& r, GColor c) {
    if (clip_.Empty() || c.Transparent()) return;
    GRect a = r.Offset(origin_.x, origin_.y).Intersect(clip_);
    if (a.Empty()) return;
    target_->surface().SetClip(P(clip_));
    target_->surface().Fill(P(a), c.Argb());
}

void GCanvas::FrameRect(const GRect& r, GColor c, int pen) {
    if (pen <= 0 || r.Empty()) return;
    FillRect({r.left, r.top, r.width, pen}, c);
    FillRect({r.left, r.Bottom() - pen, r.width, pen}, c);
    FillRect({r.left, r.top + pen, pen, r.height - 2 * pen}, c);
    FillRect({r.Right() - pen, r.top + pen, pen, r.height - 2 * pen}, c);
}

void GCanvas::HLine(int x0, int x1, int y, GColor c) { FillRect({x0, y, x1 - x0 + 1, 1}, c); }
void GCanvas::VLine(int x, int y0, int y1, GColor c) { FillRect({x, y0, 1, y1 - y0 + 1}, c); }

void GCanvas::DrawBitmap(const GBitmap& bmp, const GRect& src, int x, int y) {
    if (clip_.Empty()) return;
    target_->surface().SetClip(P(clip_));
    target_->surface().Blit(bmp.surface(), P(src), x + origin_.x, y + origin_.y);
}

void GCanvas::DrawBitmap(const GBitmap& bmp, int x, int y) {
    DrawBitmap(bmp, {0, 0, bmp.Width(), bmp.Height()}, x, y);
}

void GCanvas::StretchBitmap(const GBitmap& bmp, const GRect& src, const GRect& dst) {
    if (clip_.Empty() || dst.Empty()) return;
    if (dst.Offset(origin_.x, origin_.y).Intersect(clip_).Empty()) return;
    target_->surface().SetClip(P(clip_));
    target_->surface().BlitScaled(bmp.surface(), P(src), P(dst.Offset(origin_.x, origin_.y)), copy_);
}

namespace {

// Nine-slice pictures already stretched to a size: buttons and panels are
// repainted far more often than they are resized.
struct SkinKey {
    const GBitmap* bmp;
    int sx, sy, sw, sh, w, h, m;
    auto operator<=>(const SkinKey&) const = default;
};
std::map<SkinKey, std::unique_ptr<GBitmap>> g_skin_cache;  // window thread only
constexpr size_t kSkinCacheMax = 256;
constexpr int kSkinCacheMaxPixels = 1 << 20;

}  // namespace

void DropSkinCache() { g_skin_cache.clear(); }

void GCanvas::DrawSkin(const GBitmap& bmp, const GRect& src, const GRect& dst, int m) {
    if (dst.Empty() || src.Empty()) return;
    if (dst.Offset(origin_.x, origin_.y).Intersect(clip_).Empty()) return;
    if (dst.width * dst.height <= kSkinCacheMaxPixels) {
        SkinKey key{&bmp, src.left, src.top, src.width, src.height, dst.width, dst.height, m};
        auto it = g_skin_cache.find(key);
        if (it == g_skin_cache.end()) {
            if (g_skin_cache.size() >= kSkinCacheMax) g_skin_cache.clear();
            auto pic = std::make_unique<GBitmap>(dst.width, dst.height);
            if (bmp.surface().HasAlpha()) pic->surface().MakeTransparent();
            GCanvas pc(*pic);
            pc.copy_ = true;
            pc.DrawSkin(bmp, src, {0, 0, dst.width, dst.height}, m, 0);
            it = g_skin_cache.emplace(key, std::move(pic)).first;
        }
        DrawBitmap(*it->second, dst.left, dst.top);
        return;
    }
    DrawSkin(bmp, src, dst, m, 0);
}

void GCanvas::DrawSkin(const GBitmap& bmp, const GRect& src, const GRect& dst, int m, int) {
    m = std::min({m, src.width / 2, src.height / 2, dst.width / 2, dst.height / 2});
    const int sx[4] = {src.left, src.left + m, src.Right() - m, src.Right()};
    const int sy[4] = {src.top, src.top + m, src.Bottom() - m, src.Bottom()};
    const int dx[4] = {dst.left, dst.left + m, dst.Right() - m, dst.Right()};
    const int dy[4] = {dst.top, dst.top + m, dst.Bottom() - m, dst.Bottom()};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            GRect s{sx[i], sy[j], sx[i + 1] - sx[i], sy[j + 1] - sy[j]};
            GRect d{dx[i], dy[j], dx[i + 1] - dx[i], dy[j + 1] - dy[j]};
            if (!s.Empty() && !d.Empty()) StretchBitmap(bmp, s, d);
        }
}

void GCanvas::DrawTextLine(const GFont& font, std::u16string_view t, int x, int y, GColor c) {
    if (clip_.Empty() || t.empty()) return;
    target_->surface().SetClip(P(clip_));
    target_->surface().DrawText(font.font(), text::to_utf8(t), x + origin_.x, y + origin_.y, c.Argb());
}

std::vector<std::u16string> GCanvas::BreakLines(const GFont& font, std::u16string_view t, int width, bool wrap) {
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (true) {
        size_t nl = t.find(u'\n', start);
        std::u16string_view para = t.substr(start, nl == std::u16string_view::npos ? t.npos : nl - start);
        if (!para.empty() && para.back() == u'\r') para.remove_suffix(1);
        if (!wrap || width <= 0 || font.Measure(para).x <= width) {
            lines.emplace_back(para);
        } else {
            // Greedy: as many words as fit; a single word wider than the line
            // is broken between characters.
            std::u16string line;
            size_t i = 0;
            while (i < para.size()) {
                size_t sp = para.find(u' ', i);
                size_t end = sp == para.npos ? para.size() : sp;
                std::u16string word(para.substr(i, end - i));
                std::u16string trial = line.empty() ? word : line + u' ' + word;
                if (font.Measure(trial).x <= width) {
                    line = trial;
                } else if (!line.empty()) {
                    lines.push_back(line);
                    line.clear();
                    continue;  // retry the word on a fresh line
                } else {
                    size_t n = word.size();
                    while (n > 1 && font.Measure(std::u16string_view(word).substr(0, n)).x > width) --n;
                    lines.push_back(word.substr(0, n));
                    i += n;
                    continue;
                }
                i = end == para.size() ? end : end + 1;
            }
            if (!line.empty()) lines.push_back(line);
        }
        if (nl == std::u16string_view::npos) break;
        start = nl + 1;
    }
    return lines;
}

GPoint GCanvas::MeasureText(const GFont& font, std::u16string_view t, int width, bool wrap) {
    auto lines = BreakLines(font, t, width, wrap);
    GPoint s{0, int(lines.size()) * font.LineHeight()};
    for (const auto& l : lines) s.x = std::max(s.x, font.Measure(l).x);
    return s;
}

bool GCanvas::TextFits(const GFont& font, std::u16string_view t, const GRect& r, bool wrap) {
    if (t.empty()) return true;
    const auto lines = BreakLines(font, t, r.width, wrap);
    if (int(lines.size()) * font.LineHeight() > r.height) return false;
    for (const auto& l : lines)
        if (font.Measure(l).x > r.width) return false;
    // A word wider than the line is the one thing broken between characters.
    size_t start = 0;
    while (start <= t.size()) {
        size_t end = t.find_first_of(u" \n", start);
        if (end == t.npos) end = t.size();
        std::u16string_view word = t.substr(start, end - start);
        if (!word.empty() && word.back() == u'\r') word.remove_suffix(1);
        if (font.Measure(word).x > r.width) return false;
        start = end + 1;
    }
    return true;
}

void GCanvas::DrawText(const GFont& font, std::u16string_view t, const GRect& r, unsigned align, bool wrap,
                       GColor c) {
    if (t.empty()) return;
    auto lines = BreakLines(font, t, r.width, wrap);
    int lh = font.LineHeight();
    int total = int(lines.size()) * lh;
    int y = r.top;
    if (align & kAlignBottom) y = r.Bottom() - total;
    else if (align & kAlignMiddle) y = r.top + (r.height - total) / 2;
    State s = Save();
    ClipTo(r);
    for (const auto& l : lines) {
        int w = font.Measure(l).x;
        int x = r.left;
        if (align & kAlignRight) x = r.Right() - w;
        else if (align & kAlignCenter) x = r.left + (r.width - w) / 2;
        DrawTextLine(font, l, x, y, c);
        y += lh;
    }
    Restore(s);
}

}  // namespace UIK
