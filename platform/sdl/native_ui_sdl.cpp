// The native user-interface layer over SDL2, SDL2_ttf, SDL2_image (PNG
// writing) and fontconfig.
#include "platform/native_ui.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "foundation/ustring.h"
#include "platform/native_ui_shared.h"
#include "platform/sdl/x11_io.h"

namespace plat::ui {

namespace {

// Folder of the Tahoma faces of the wine fonts package; fontconfig does not
// scan it by default, so it is added to the program's own configuration.
constexpr const char* kExtraFontDir = "/usr/share/wine/fonts";

Holders g_holders;
std::atomic<uint32_t> g_wake_event{0};

SDL_Surface* S(void* p) { return static_cast<SDL_Surface*>(p); }
SDL_Window* W(void* p) { return static_cast<SDL_Window*>(p); }
TTF_Font* F(void* p) { return static_cast<TTF_Font*>(p); }
SDL_Rect R(const Rect& r) { return {r.x, r.y, r.w, r.h}; }

SDL_Surface* new_argb(int w, int h) {
    return SDL_CreateRGBSurfaceWithFormat(0, w > 0 ? w : 1, h > 0 ? h : 1, 32, SDL_PIXELFORMAT_ARGB8888);
}

// Once per process, for windows and offscreen drawing alike.
void init_fontconfig() {
    static std::once_flag fc_once;
    std::call_once(fc_once, [] {
        FcInit();
        FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>(kExtraFontDir));
    });
}

// The first holder starts SDL, SDL_ttf and fontconfig.
bool start() {
    // Closing the last window must not end the program: forms are hidden and
    // shown again, and the message loop decides when to leave.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // Everything is drawn in software into the form's surface; copying that to
    // the window needs no GPU renderer (which would load the GL stack).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // The program decides what signals mean (plat::on_session_end); SDL's
    // own handlers would turn only some of them into a quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A window manager activates a window on the press that lands in it and
    // passes the press on; SDL would drop it as a mere activation, so the
    // first click into another window would be lost.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::strcmp(driver, "x11") == 0)
        detail::WatchX11Connection();
    if (TTF_Init() != 0) { SDL_Quit(); return false; }
    init_fontconfig();
    if (g_wake_event.load() == 0) {
        uint32_t t = SDL_RegisterEvents(1);
        g_wake_event.store(t == uint32_t(-1) ? uint32_t(SDL_USEREVENT) : t);
    }
    return true;
}

}  // namespace

bool Acquire() { return g_holders.acquire(start); }

void Release() {
    g_holders.release([] {
        TTF_Quit();
        SDL_Quit();
    });
}

bool IsAcquired() { return g_holders.held(); }

bool AcquireDrawing() {
    // The font library counts its own users.
    if (TTF_Init() != 0) return false;
    init_fontconfig();
    return true;
}

void ReleaseDrawing() { TTF_Quit(); }

uint64_t Ticks() {
    // Not SDL's tick counter: that one restarts when the library is closed and
    // opened again, and timer deadlines must survive that.
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// ---- Surface ------------------------------------------------------------------

Surface::Surface(int w, int h) {
    s_ = new_argb(w, h);
    if (s_) {
        SDL_SetSurfaceBlendMode(S(s_), SDL_BLENDMODE_NONE);
        SDL_FillRect(S(s_), nullptr, 0xFF000000);
    }
}

Surface::~Surface() {
    if (s_) SDL_FreeSurface(S(s_));
}

std::unique_ptr<Surface> Surface::FromBmp(const void* data, size_t size) {
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    if (!rw) return nullptr;
    SDL_Surface* raw = SDL_LoadBMP_RW(rw, 1);
    if (!raw) return nullptr;
    SDL_Surface* conv = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(raw);
    if (!conv) return nullptr;
    bool keyed = false;
    SDL_LockSurface(conv);
    for (int y = 0; y < conv->h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(conv->pixels) + y * conv->pitch);
        if (pixels::apply_colour_key(row, size_t(conv->w))) keyed = true;
    }
    SDL_UnlockSurface(conv);
    SDL_SetSurfaceBlendMode(conv, keyed ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    std::unique_ptr<Surface> s(new Surface());
    s->s_ = conv;
    return s;
}

int Surface::Width() const { return s_ ? S(s_)->w : 0; }
int Surface::Height() const { return s_ ? S(s_)->h : 0; }
bool Surface::Valid() const { return s_ != nullptr; }

void Surface::SetClip(const Rect& r) {
    SDL_Rect c = R(r);
    SDL_SetClipRect(S(s_), &c);
}
void Surface::ClearClip() { SDL_SetClipRect(S(s_), nullptr); }
Rect Surface::Clip() const {
    SDL_Rect c;
    SDL_GetClipRect(S(s_), &c);
    return {c.x, c.y, c.w, c.h};
}

void Surface::Fill(const Rect& r, argb_t color) {
    if (!s_ || (color >> 24) == 0) return;
    SDL_Rect d = R(r);
    uint32_t a = color >> 24;
    if (a == 255) {
        SDL_FillRect(S(s_), &d, color);
        return;
    }
    // Translucent fill: blend by hand inside the clip.
    SDL_Rect clip, area;
    SDL_GetClipRect(S(s_), &clip);
    if (!SDL_IntersectRect(&d, &clip, &area)) return;
    SDL_LockSurface(S(s_));
    for (int y = area.y; y < area.y + area.h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(S(s_)->pixels) + y * S(s_)->pitch);
        for (int x = area.x; x < area.x + area.w; ++x) row[x] = pixels::over(color, row[x]) | 0xFF000000;
    }
    SDL_UnlockSurface(S(s_));
}

void Surface::Blit(const Surface& src, const Rect& src_rect, int x, int y) {
    if (!s_ || !src.s_) return;
    SDL_Rect sr = R(src_rect), dr{x, y, src_rect.w, src_rect.h};
    SDL_BlitSurface(S(src.s_), &sr, S(s_), &dr);
}

void Surface::BlitScaled(const Surface& src, const Rect& src_rect, const Rect& dst, bool copy) {
    if (!s_ || !src.s_ || dst.w <= 0 || dst.h <= 0 || src_rect.w <= 0 || src_rect.h <= 0) return;
    SDL_Rect sr = R(src_rect), dr = R(dst);
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetSurfaceBlendMode(S(src.s_), &mode);
    if (copy) SDL_SetSurfaceBlendMode(S(src.s_), SDL_BLENDMODE_NONE);
    if (sr.w == dr.w && sr.h == dr.h) SDL_BlitSurface(S(src.s_), &sr, S(s_), &dr);
    else SDL_BlitScaled(S(src.s_), &sr, S(s_), &dr);
    if (copy) SDL_SetSurfaceBlendMode(S(src.s_), mode);
}

void Surface::MakeTransparent() {
    if (!s_) return;
    SDL_SetClipRect(S(s_), nullptr);
    SDL_FillRect(S(s_), nullptr, 0);
    SDL_SetSurfaceBlendMode(S(s_), SDL_BLENDMODE_BLEND);
}

bool Surface::HasAlpha() const {
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    if (s_) SDL_GetSurfaceBlendMode(S(s_), &mode);
    return mode == SDL_BLENDMODE_BLEND;
}

// Rendered lines of text, reused while the same font draws the same text in
// the same colour: labels are redrawn far more often than they change.
struct Font::LineCache {
    struct Key {
        argb_t color;
        std::string text;
        bool operator<(const Key& o) const {
            if (color != o.color) return color < o.color;
            return text < o.text;
        }
    };
    static constexpr size_t kMax = 512;
    std::map<Key, SDL_Surface*> lines;  // window thread only

    void clear() {
        for (auto& [k, s] : lines) SDL_FreeSurface(s);
        lines.clear();
    }
    ~LineCache() { clear(); }
};

void Surface::DrawText(const Font& font, std::string_view utf8, int x, int y, argb_t color) {
    if (!s_ || utf8.empty() || !font.native()) return;
    Font::LineCache& cache = *font.lines_;
    Font::LineCache::Key key{color, std::string(utf8)};
    auto it = cache.lines.find(key);
    SDL_Surface* t = nullptr;
    if (it != cache.lines.end()) {
        t = it->second;
    } else {
        SDL_Color c{uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color), 255};
        t = TTF_RenderUTF8_Blended(F(font.native()), key.text.c_str(), c);
        if (!t) return;
        SDL_SetSurfaceBlendMode(t, SDL_BLENDMODE_BLEND);
        if (cache.lines.size() >= Font::LineCache::kMax) cache.clear();
        cache.lines.emplace(std::move(key), t);
    }
    SDL_Rect dr{x, y, t->w, t->h};
    SDL_BlitSurface(t, nullptr, S(s_), &dr);
}

argb_t Surface::Pixel(int x, int y) const {
    if (!s_ || x < 0 || y < 0 || x >= S(s_)->w || y >= S(s_)->h) return 0;
    SDL_LockSurface(S(s_));
    auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(S(s_)->pixels) + y * S(s_)->pitch);
    argb_t v = row[x];
    SDL_UnlockSurface(S(s_));
    return v;
}

bool Surface::SavePng(const std::string& path) const {
    if (!s_) return false;
    return IMG_SavePNG(S(s_), path.c_str()) == 0;
}

bool Surface::EncodePng(std::string* bytes) const {
    if (!s_) return false;
    // A PNG is never much larger than the raw pixels: one filter byte a row
    // and the deflate blocks' few bytes.
    const size_t room = size_t(S(s_)->w) * S(s_)->h * 4 + size_t(S(s_)->h) + 65536;
    std::string buf(room, '\0');
    SDL_RWops* rw = SDL_RWFromMem(buf.data(), int(std::min<size_t>(room, size_t(INT32_MAX))));
    if (!rw) return false;
    const bool ok = IMG_SavePNG_RW(S(s_), rw, 0) == 0;
    const Sint64 size = SDL_RWtell(rw);
    SDL_RWclose(rw);
    if (!ok || size <= 0) return false;
    buf.resize(size_t(size));
    *bytes = std::move(buf);
    return true;
}

// ---- Font -----------------------------------------------------------------------

std::unique_ptr<Font> Font::Open(const char* face, int height, int weight) {
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(face));
    if (!pat) return nullptr;
    int want = weight <= 0 ? 400 : weight;
    FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(want));
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    FcPatternDestroy(pat);
    if (!match) return nullptr;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    int got_weight = FC_WEIGHT_REGULAR, index = 0;
    std::unique_ptr<Font> f(new Font());
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) f->file_ = reinterpret_cast<char*>(file);
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
        f->family_ = reinterpret_cast<char*>(family);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &got_weight);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternDestroy(match);
    if (f->file_.empty()) return nullptr;

    // Negative: character (em) height in pixels. Positive: cell height, so the
    // em size is scaled by the face's cell-to-em ratio.
    int em = height < 0 ? -height : (height == 0 ? 16 : height);
    TTF_Font* tf = TTF_OpenFontIndex(f->file_.c_str(), em, index);
    if (!tf) return nullptr;
    if (height > 0) {
        int cell = TTF_FontHeight(tf);
        if (cell > 0 && cell != height) {
            int scaled = std::max(1, int(std::lround(double(em) * height / cell)));
            TTF_CloseFont(tf);
            tf = TTF_OpenFontIndex(f->file_.c_str(), scaled, index);
            if (!tf) return nullptr;
        }
    }
    if (want >= 600 && got_weight < FC_WEIGHT_DEMIBOLD) TTF_SetFontStyle(tf, TTF_STYLE_BOLD);
    TTF_SetFontHinting(tf, TTF_HINTING_NORMAL);
    f->f_ = tf;
    return f;
}

Font::Font() : lines_(std::make_unique<LineCache>()) {}

Font::~Font() {
    lines_.reset();
    // Fonts outliving the font library are left to the process exit.
    if (f_ && TTF_WasInit()) TTF_CloseFont(F(f_));
}

int Font::LineHeight() const { return f_ ? TTF_FontHeight(F(f_)) : 0; }
int Font::Ascent() const { return f_ ? TTF_FontAscent(F(f_)) : 0; }

void Font::Measure(std::string_view utf8, int* w, int* h) const {
    *w = 0;
    *h = LineHeight();
    if (!f_ || utf8.empty()) return;
    std::string z(utf8);
    TTF_SizeUTF8(F(f_), z.c_str(), w, h);
}

// ---- Window ---------------------------------------------------------------------

std::unique_ptr<Window> Window::Create(const std::string& title_utf8, uint32_t style) {
    uint32_t flags = SDL_WINDOW_HIDDEN;
    if (!(style & kStyleTitle)) flags |= SDL_WINDOW_BORDERLESS;
    if (style & kStyleSizeBox) flags |= SDL_WINDOW_RESIZABLE;
    if (style & kStyleMenu) flags |= SDL_WINDOW_SKIP_TASKBAR;
    SDL_Window* w = SDL_CreateWindow(title_utf8.c_str(), 0, 0, 300, 300, flags);
    if (!w) return nullptr;
    std::unique_ptr<Window> win(new Window());
    win->w_ = w;
    return win;
}

Window::~Window() {
    if (w_) SDL_DestroyWindow(W(w_));
}

uint32_t Window::Id() const { return SDL_GetWindowID(W(w_)); }
void Window::SetTitle(const std::string& utf8) { SDL_SetWindowTitle(W(w_), utf8.c_str()); }
void Window::SetBounds(const Rect& r) {
    SDL_SetWindowPosition(W(w_), r.x, r.y);
    SDL_SetWindowSize(W(w_), r.w > 0 ? r.w : 1, r.h > 0 ? r.h : 1);
}
Rect Window::Bounds() const {
    Rect r;
    if (!detail::X11ClientOrigin(w_, &r.x, &r.y)) SDL_GetWindowPosition(W(w_), &r.x, &r.y);
    SDL_GetWindowSize(W(w_), &r.w, &r.h);
    return r;
}
void Window::SetMinimumSize(int w, int h) { SDL_SetWindowMinimumSize(W(w_), w, h); }
void Window::Show() { SDL_ShowWindow(W(w_)); }
void Window::Hide() { SDL_HideWindow(W(w_)); }
void Window::Raise() { SDL_RaiseWindow(W(w_)); }
void Window::Flash() { SDL_FlashWindow(W(w_), SDL_FLASH_BRIEFLY); }
void Window::SetModalFor(Window* parent) {
    // Only some video drivers know owned windows; elsewhere this is a no-op.
    if (parent) SDL_SetWindowModalFor(W(w_), W(parent->w_));
}

void Window::Present(const Surface& s, const std::vector<Rect>& rects) {
    SDL_Surface* ws = SDL_GetWindowSurface(W(w_));
    if (!ws || !s.native()) return;
    SDL_SetSurfaceBlendMode(S(s.native()), SDL_BLENDMODE_NONE);
    if (rects.empty()) {
        SDL_BlitSurface(S(s.native()), nullptr, ws, nullptr);
        SDL_UpdateWindowSurface(W(w_));
        return;
    }
    std::vector<SDL_Rect> out;
    out.reserve(rects.size());
    for (const Rect& r : rects) {
        SDL_Rect sr = R(r), dr = R(r);
        SDL_BlitSurface(S(s.native()), &sr, ws, &dr);
        out.push_back(R(r));
    }
    SDL_UpdateWindowSurfaceRects(W(w_), out.data(), int(out.size()));
}

void Window::SetIcon(const Surface& icon) {
    if (icon.native()) SDL_SetWindowIcon(W(w_), S(icon.native()));
}

void Window::WarpMouse(int x, int y) { SDL_WarpMouseInWindow(W(w_), x, y); }
void Window::StartTextInput() { SDL_StartTextInput(); }
void Window::StopTextInput() { SDL_StopTextInput(); }

std::string WindowTitle(uint32_t id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    return w ? std::string(SDL_GetWindowTitle(w)) : std::string();
}
bool WindowDecorated(uint32_t id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    return w && !(SDL_GetWindowFlags(w) & SDL_WINDOW_BORDERLESS);
}
bool WindowInTaskbar(uint32_t id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    return w && !(SDL_GetWindowFlags(w) & SDL_WINDOW_SKIP_TASKBAR);
}

// ---- monitors -------------------------------------------------------------------

Rect MonitorArea(int x, int y, bool whole) {
    SDL_Point p{x, y};
    int index = SDL_GetPointDisplayIndex(&p);
    if (index < 0) index = 0;
    SDL_Rect r{0, 0, 1024, 768};
    if (whole) SDL_GetDisplayBounds(index, &r);
    else if (SDL_GetDisplayUsableBounds(index, &r) != 0) SDL_GetDisplayBounds(index, &r);
    return {r.x, r.y, r.w, r.h};
}

void MousePosition(int* x, int* y) { SDL_GetGlobalMouseState(x, y); }

// ---- events ---------------------------------------------------------------------

namespace {

struct KeyPair {
    SDL_Keycode sdl;
    int key;
};
const KeyPair kKeys[] = {
    {SDLK_LEFT, kKeyLeft}, {SDLK_RIGHT, kKeyRight}, {SDLK_UP, kKeyUp}, {SDLK_DOWN, kKeyDown},
    {SDLK_HOME, kKeyHome}, {SDLK_END, kKeyEnd}, {SDLK_PAGEUP, kKeyPageUp}, {SDLK_PAGEDOWN, kKeyPageDown},
    {SDLK_INSERT, kKeyInsert}, {SDLK_KP_ENTER, kKeyEnter}, {SDLK_KP_0, '0'}, {SDLK_KP_1, '1'},
    {SDLK_KP_2, '2'}, {SDLK_KP_3, '3'}, {SDLK_KP_4, '4'}, {SDLK_KP_5, '5'}, {SDLK_KP_6, '6'},
    {SDLK_KP_7, '7'}, {SDLK_KP_8, '8'}, {SDLK_KP_9, '9'}, {SDLK_KP_PERIOD, '.'}, {SDLK_KP_MINUS, '-'},
    {SDLK_KP_PLUS, '+'},
};

int key_from_sdl(SDL_Keycode k) {
    for (const auto& p : kKeys) if (p.sdl == k) return p.key;
    if (k >= SDLK_F1 && k <= SDLK_F12) return kKeyF1 + int(k - SDLK_F1);
    if (k < 0x40000000) return int(k);
    return kKeyNone;
}

SDL_Keycode key_to_sdl(int key) {
    for (const auto& p : kKeys)
        if (p.key == key && p.sdl != SDLK_KP_ENTER && !(p.sdl >= SDLK_KP_0 && p.sdl <= SDLK_KP_PLUS)) return p.sdl;
    if (key >= kKeyF1 && key < kKeyF1 + 12) return SDLK_F1 + (key - kKeyF1);
    return SDL_Keycode(key);
}

// The modifiers: either of SDL's keys counts, a made-up event presses the left one.
const struct { uint16_t sdl_either, sdl_left; uint32_t mod; } kMods[] = {
    {KMOD_SHIFT, KMOD_LSHIFT, kModShift}, {KMOD_CTRL, KMOD_LCTRL, kModCtrl}, {KMOD_ALT, KMOD_LALT, kModAlt}};

uint32_t mods_from_sdl(uint16_t m) {
    uint32_t r = 0;
    for (const auto& p : kMods) if (m & p.sdl_either) r |= p.mod;
    return r;
}

uint16_t mods_to_sdl(uint32_t m) {
    uint16_t r = 0;
    for (const auto& p : kMods) if (m & p.mod) r |= p.sdl_left;
    return r;
}

void translate(const SDL_Event& e, Event* ev) {
    *ev = Event{};
    switch (e.type) {
    case SDL_QUIT: ev->type = EventType::Quit; break;
    case SDL_WINDOWEVENT:
        ev->window = e.window.windowID;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: ev->type = EventType::WindowClose; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            ev->type = EventType::WindowResized;
            ev->x = e.window.data1;
            ev->y = e.window.data2;
            break;
        case SDL_WINDOWEVENT_MOVED:
            ev->type = EventType::WindowMoved;
            ev->x = e.window.data1;
            ev->y = e.window.data2;
            // The X server's own figure where there is one (see X11ClientOrigin).
            detail::X11ClientOrigin(SDL_GetWindowFromID(e.window.windowID), &ev->x, &ev->y);
            break;
        case SDL_WINDOWEVENT_EXPOSED: ev->type = EventType::WindowExposed; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: ev->type = EventType::WindowFocus; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: ev->type = EventType::WindowFocusLost; break;
        case SDL_WINDOWEVENT_LEAVE: ev->type = EventType::WindowLeave; break;
        default: break;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        ev->type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
        ev->window = e.button.windowID;
        ev->x = e.button.x;
        ev->y = e.button.y;
        ev->button = e.button.button;
        ev->clicks = e.button.clicks;
        ev->mods = mods_from_sdl(SDL_GetModState());
        break;
    case SDL_MOUSEMOTION:
        ev->type = EventType::MouseMove;
        ev->window = e.motion.windowID;
        ev->x = e.motion.x;
        ev->y = e.motion.y;
        ev->button = (e.motion.state & SDL_BUTTON_LMASK) ? 1 : 0;
        break;
    case SDL_MOUSEWHEEL:
        ev->type = EventType::MouseWheel;
        ev->window = e.wheel.windowID;
        ev->x = e.wheel.mouseX;
        ev->y = e.wheel.mouseY;
        ev->wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        ev->type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
        ev->window = e.key.windowID;
        ev->key = key_from_sdl(e.key.keysym.sym);
        ev->mods = mods_from_sdl(e.key.keysym.mod);
        break;
    case SDL_TEXTINPUT: {
        ev->type = EventType::Text;
        ev->window = e.text.windowID;
        ev->text = text::from_utf8(e.text.text);
        break;
    }
    default:
        if (e.type == g_wake_event.load()) ev->type = EventType::Wake;
        break;
    }
}

}  // namespace

bool WaitEvent(Event* ev, int timeout_ms) {
    SDL_Event e;
    int got = timeout_ms < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeout_ms);
    if (!got) return false;
    translate(e, ev);
    return true;
}

bool PollEvent(Event* ev) {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    translate(e, ev);
    return true;
}

void Wake() {
    uint32_t t = g_wake_event.load();
    if (t == 0) return;
    SDL_Event e{};
    e.type = t;
    SDL_PushEvent(&e);
}

void PushQuit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

void PushMouse(uint32_t window, EventType type, int x, int y, int button, int wheel) {
    SDL_Event e{};
    if (type == EventType::MouseDown || type == EventType::MouseUp) {
        e.type = type == EventType::MouseDown ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = window;
        e.button.x = x;
        e.button.y = y;
        e.button.button = uint8_t(button);
        e.button.clicks = 1;
        e.button.state = type == EventType::MouseDown ? SDL_PRESSED : SDL_RELEASED;
    } else if (type == EventType::MouseMove) {
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.state = button == 1 ? SDL_BUTTON_LMASK : 0;
    } else if (type == EventType::MouseWheel) {
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = window;
        e.wheel.y = wheel;
        e.wheel.mouseX = x;
        e.wheel.mouseY = y;
        e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    } else {
        return;
    }
    SDL_PushEvent(&e);
}

void PushKey(uint32_t window, int key, uint32_t mods) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = window;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key_to_sdl(key);
    e.key.keysym.mod = mods_to_sdl(mods);
    SDL_PushEvent(&e);
}

void PushText(uint32_t window, const std::u16string& t) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = window;
    std::string u = text::to_utf8(t);
    SDL_strlcpy(e.text.text, u.c_str(), sizeof e.text.text);
    SDL_PushEvent(&e);
}

void PushWindowClose(uint32_t window) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
}

// ---- dialogs --------------------------------------------------------------------

// SDL has no save dialog of its own; the toolkit draws one.
DialogResult SaveFileDialog(uint32_t, const std::u16string&, std::u16string*, int*) {
    return DialogResult::NotAvailable;
}

// ---- clipboard ------------------------------------------------------------------

bool SetClipboardText(const std::string& utf8) { return SDL_SetClipboardText(utf8.c_str()) == 0; }

std::string ClipboardText() {
    if (!SDL_HasClipboardText()) return {};
    char* t = SDL_GetClipboardText();
    std::string r = t ? t : "";
    SDL_free(t);
    return r;
}

}  // namespace plat::ui
