// The native user-interface layer over Win32: window classes and windows, the
// message loop, GDI text drawn into 32-bit DIB sections, the clipboard,
// monitors, the common save-file dialog and WIC's PNG encoder.
//
// Events are gathered by the window procedures into one queue of the window
// thread; WaitEvent pumps the thread's messages and hands them out one by one.
// Other threads wake the wait by posting to a hidden helper window (not a
// thread message: modal loops of the system, such as the save dialog's, drop
// those).
#include "platform/native_ui.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <wincodec.h>
// windows.h names DrawText after its wide-character function.
#undef DrawText

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "foundation/ustring.h"
#include "platform/native_ui_shared.h"

namespace plat::ui {

namespace {

constexpr wchar_t kFormClass[] = L"UIK.Win32.Form.class";
constexpr wchar_t kHelperClass[] = L"UIK.Win32.Helper.class";
constexpr UINT kWakeMessage = WM_APP + 1;

Holders g_holders;
HINSTANCE g_instance = nullptr;
HWND g_helper = nullptr;  // wake-ups, clipboard owner, end of the session
std::atomic<int (*)()> g_session_end{nullptr};

// The event queue. Filled by the window procedures on the window thread and
// by the Push functions from any thread.
std::mutex g_queue_mutex;
std::deque<Event> g_queue;

Event make_event(EventType t) {
    Event ev;
    ev.type = t;
    return ev;
}

void push(Event ev) {
    std::lock_guard<std::mutex> g(g_queue_mutex);
    g_queue.push_back(std::move(ev));
}

bool pop(Event* ev) {
    std::lock_guard<std::mutex> g(g_queue_mutex);
    if (g_queue.empty()) return false;
    *ev = std::move(g_queue.front());
    g_queue.pop_front();
    return true;
}

std::wstring wide(std::string_view utf8) {
    std::u16string s = text::from_utf8(utf8);
    return std::wstring(s.begin(), s.end());
}

std::string narrow(const wchar_t* w, size_t n) {
    return text::to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(w), n));
}

// ---- surfaces: a top-down 32-bit DIB section, 0xAARRGGBB per pixel ------------

struct Dib {
    HBITMAP bmp = nullptr;
    uint32_t* px = nullptr;
    int w = 0, h = 0;
    Rect clip;
    bool blend = false;  // blits from it blend by its alpha
    HDC dc = nullptr;    // memory DC holding bmp, made on first use

    HDC Dc() {
        if (!dc) {
            dc = CreateCompatibleDC(nullptr);
            if (dc) SelectObject(dc, bmp);
        }
        return dc;
    }
    uint32_t* Row(int y) const { return px + size_t(y) * size_t(w); }
};

Dib* D(void* p) { return static_cast<Dib*>(p); }

Dib* new_dib(int w, int h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) return nullptr;
    auto* d = new Dib;
    d->bmp = bmp;
    d->px = static_cast<uint32_t*>(bits);
    d->w = w;
    d->h = h;
    d->clip = {0, 0, w, h};
    return d;
}

void free_dib(Dib* d) {
    if (!d) return;
    if (d->dc) DeleteDC(d->dc);
    DeleteObject(d->bmp);
    delete d;
}

bool intersect(const Rect& a, const Rect& b, Rect* out) {
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (x1 <= x0 || y1 <= y0) return false;
    *out = {x0, y0, x1 - x0, y1 - y0};
    return true;
}

using pixels::over;

// The window each surface was last presented in, so that a repaint the
// system asks for can be answered without the toolkit (during a modal loop
// of the system, for one). Window thread only.
std::map<HWND, Dib*> g_presented;

void forget_presented(Dib* d) {
    for (auto it = g_presented.begin(); it != g_presented.end();)
        it = it->second == d ? g_presented.erase(it) : std::next(it);
}

// ---- windows --------------------------------------------------------------------

struct WinData {
    HWND hwnd = nullptr;
    uint32_t id = 0;
    uint32_t style = 0;
    std::string title;
    int min_w = 0, min_h = 0;
    HICON icon = nullptr;
    bool tracking_leave = false;
    wchar_t high_surrogate = 0;
};

std::map<uint32_t, WinData*> g_windows;  // window thread only
uint32_t g_next_id = 1;
bool g_text_input = true;

WinData* data_of(HWND h) { return reinterpret_cast<WinData*>(GetWindowLongPtrW(h, GWLP_USERDATA)); }

DWORD native_style(uint32_t style) {
    DWORD s = WS_POPUP | WS_CLIPCHILDREN;
    if (style & kStyleTitle) s |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (style & kStyleSizeBox) s |= WS_THICKFRAME;
    return s;
}

DWORD native_ex_style(uint32_t style) { return (style & kStyleMenu) ? WS_EX_TOOLWINDOW : WS_EX_APPWINDOW; }

uint32_t current_mods() {
    uint32_t m = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) m |= kModShift;
    if (GetKeyState(VK_CONTROL) & 0x8000) m |= kModCtrl;
    if (GetKeyState(VK_MENU) & 0x8000) m |= kModAlt;
    return m;
}

struct KeyPair {
    WPARAM vk;
    int key;
};
const KeyPair kKeys[] = {
    {VK_BACK, kKeyBackspace}, {VK_TAB, kKeyTab}, {VK_RETURN, kKeyEnter}, {VK_ESCAPE, kKeyEscape},
    {VK_SPACE, kKeySpace}, {VK_DELETE, kKeyDelete}, {VK_LEFT, kKeyLeft}, {VK_RIGHT, kKeyRight},
    {VK_UP, kKeyUp}, {VK_DOWN, kKeyDown}, {VK_HOME, kKeyHome}, {VK_END, kKeyEnd},
    {VK_PRIOR, kKeyPageUp}, {VK_NEXT, kKeyPageDown}, {VK_INSERT, kKeyInsert},
    {VK_DECIMAL, '.'}, {VK_SUBTRACT, '-'}, {VK_ADD, '+'}, {VK_MULTIPLY, '*'}, {VK_DIVIDE, '/'},
    {VK_OEM_PERIOD, '.'}, {VK_OEM_COMMA, ','}, {VK_OEM_MINUS, '-'}, {VK_OEM_PLUS, '='},
};

int key_from_vk(WPARAM vk) {
    for (const auto& p : kKeys) if (p.vk == vk) return p.key;
    if (vk >= 'A' && vk <= 'Z') return int(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9') return int(vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return int('0' + (vk - VK_NUMPAD0));
    if (vk >= VK_F1 && vk <= VK_F12) return kKeyF1 + int(vk - VK_F1);
    return kKeyNone;
}

Event window_event(HWND h, EventType t) {
    Event ev;
    ev.type = t;
    if (WinData* d = data_of(h)) ev.window = d->id;
    return ev;
}

Event mouse_event(HWND h, EventType t, LPARAM lp, int button) {
    Event ev = window_event(h, t);
    ev.x = short(LOWORD(lp));
    ev.y = short(HIWORD(lp));
    ev.button = button;
    ev.mods = current_mods();
    return ev;
}

// The end of the desktop session: what the close box would do, at once, since
// the process is ended when the answer to WM_ENDSESSION returns.
void end_session() {
    static std::atomic<bool> once{false};
    if (once.exchange(true)) return;
    int status = 0;
    if (auto fn = g_session_end.load()) status = fn();
    std::fflush(nullptr);
    ExitProcess(UINT(status));
}

LRESULT CALLBACK helper_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kWakeMessage:
        push(make_event(EventType::Wake));
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wp) end_session();
        return 0;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK form_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    WinData* d = data_of(h);
    if (!d) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
    case WM_CLOSE:
        push(window_event(h, EventType::WindowClose));
        return 0;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        // The end of the session is the helper window's to answer.
        return helper_proc(h, msg, wp, lp);
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED) {
            Event ev = window_event(h, EventType::WindowResized);
            ev.x = LOWORD(lp);
            ev.y = HIWORD(lp);
            push(ev);
        }
        return 0;
    case WM_MOVE: {
        Event ev = window_event(h, EventType::WindowMoved);
        ev.x = short(LOWORD(lp));
        ev.y = short(HIWORD(lp));
        push(ev);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // the toolkit paints every pixel
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        auto it = g_presented.find(h);
        if (it != g_presented.end()) {
            Dib* s = it->second;
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, s->Dc(), r.left, r.top, SRCCOPY);
        } else {
            push(window_event(h, EventType::WindowExposed));
        }
        EndPaint(h, &ps);
        return 0;
    }
    case WM_GETMINMAXINFO: {
        if (d->min_w > 0 || d->min_h > 0) {
            RECT r{0, 0, d->min_w, d->min_h};
            AdjustWindowRectEx(&r, native_style(d->style), FALSE, native_ex_style(d->style));
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            mm->ptMinTrackSize.x = r.right - r.left;
            mm->ptMinTrackSize.y = r.bottom - r.top;
        }
        return 0;
    }
    case WM_SETFOCUS:
        push(window_event(h, EventType::WindowFocus));
        return 0;
    case WM_KILLFOCUS:
        push(window_event(h, EventType::WindowFocusLost));
        return 0;
    case WM_MOUSELEAVE:
        d->tracking_leave = false;
        push(window_event(h, EventType::WindowLeave));
        return 0;
    case WM_MOUSEMOVE: {
        if (!d->tracking_leave) {
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, h, 0};
            d->tracking_leave = TrackMouseEvent(&t) != FALSE;
        }
        push(mouse_event(h, EventType::MouseMove, lp, (wp & MK_LBUTTON) ? 1 : 0));
        return 0;
    }
    case WM_LBUTTONDOWN: case WM_MBUTTONDOWN: case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: case WM_MBUTTONDBLCLK: case WM_RBUTTONDBLCLK: {
        int button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) ? 1
                   : (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONDBLCLK) ? 2 : 3;
        Event ev = mouse_event(h, EventType::MouseDown, lp, button);
        ev.clicks = (msg == WM_LBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK) ? 2 : 1;
        push(ev);
        SetCapture(h);  // the release comes here even outside the window
        return 0;
    }
    case WM_LBUTTONUP: case WM_MBUTTONUP: case WM_RBUTTONUP: {
        int button = msg == WM_LBUTTONUP ? 1 : msg == WM_MBUTTONUP ? 2 : 3;
        Event ev = mouse_event(h, EventType::MouseUp, lp, button);
        ev.clicks = 1;
        push(ev);
        if (!(wp & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON))) ReleaseCapture();
        return 0;
    }
    case WM_MOUSEWHEEL: {
        POINT p{short(LOWORD(lp)), short(HIWORD(lp))};  // screen coordinates
        ScreenToClient(h, &p);
        Event ev = window_event(h, EventType::MouseWheel);
        ev.x = p.x;
        ev.y = p.y;
        ev.wheel = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
        ev.mods = current_mods();
        if (ev.wheel != 0) push(ev);
        return 0;
    }
    case WM_KEYDOWN: case WM_SYSKEYDOWN: case WM_KEYUP: case WM_SYSKEYUP: {
        const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
        if (int key = key_from_vk(wp)) {
            Event ev = window_event(h, down ? EventType::KeyDown : EventType::KeyUp);
            ev.key = key;
            ev.mods = current_mods();
            push(ev);
        }
        // Alt+F4 and the system menu's keys stay the system's.
        if (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) return DefWindowProcW(h, msg, wp, lp);
        return 0;
    }
    case WM_CHAR: {
        const wchar_t c = wchar_t(wp);
        if (c >= 0xD800 && c < 0xDC00) {
            d->high_surrogate = c;
            return 0;
        }
        std::u16string t;
        if (c >= 0xDC00 && c < 0xE000) {
            if (d->high_surrogate) t = {char16_t(d->high_surrogate), char16_t(c)};
        } else if (c >= 0x20 && c != 0x7F) {
            t = {char16_t(c)};  // control characters come as keys
        }
        d->high_surrogate = 0;
        if (!t.empty() && g_text_input) {
            Event ev = window_event(h, EventType::Text);
            ev.text = std::move(t);
            push(ev);
        }
        return 0;
    }
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

bool register_classes() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = form_proc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // the toolkit paints everything
    wc.lpszClassName = kFormClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    WNDCLASSEXW hc{};
    hc.cbSize = sizeof hc;
    hc.lpfnWndProc = helper_proc;
    hc.hInstance = g_instance;
    hc.lpszClassName = kHelperClass;
    if (!RegisterClassExW(&hc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    return true;
}

// The first holder registers the classes and makes the helper window.
bool start() {
    g_instance = GetModuleHandleW(nullptr);
    if (!register_classes()) return false;
    // A hidden top-level window, not a message-only one: those are not told
    // of the end of the session.
    g_helper = CreateWindowExW(WS_EX_TOOLWINDOW, kHelperClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               g_instance, nullptr);
    return g_helper != nullptr;
}

}  // namespace

bool Acquire() { return g_holders.acquire(start); }

void Release() {
    g_holders.release([] {
        HWND h = g_helper;
        g_helper = nullptr;
        DestroyWindow(h);
        std::lock_guard<std::mutex> q(g_queue_mutex);
        g_queue.clear();
    });
}

// GDI draws text without a window or a display: nothing to take.
bool AcquireDrawing() { return true; }
void ReleaseDrawing() {}

bool IsAcquired() { return g_holders.held(); }

void SetDisplayLostHandler(int (*fn)()) { g_session_end.store(fn); }

uint64_t Ticks() { return GetTickCount64(); }

// ---- Surface ------------------------------------------------------------------

Surface::Surface(int w, int h) {
    Dib* d = new_dib(w, h);
    s_ = d;
    if (d) std::fill(d->px, d->px + size_t(d->w) * d->h, 0xFF000000u);
}

Surface::~Surface() {
    if (!s_) return;
    forget_presented(D(s_));
    free_dib(D(s_));
}

std::unique_ptr<Surface> Surface::FromBmp(const void* data, size_t size) {
    // The file header, then the bitmap's own header and pixels, which GDI
    // converts into the 32-bit surface.
    if (!data || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return nullptr;
    const auto* bytes = static_cast<const uint8_t*>(data);
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, bytes, sizeof fh);
    if (fh.bfType != 0x4D42 || fh.bfOffBits >= size) return nullptr;
    BITMAPINFOHEADER ih;
    std::memcpy(&ih, bytes + sizeof fh, sizeof ih);
    if (ih.biSize < sizeof ih || ih.biWidth <= 0 || ih.biHeight == 0 || ih.biWidth > 16384 ||
        std::abs(ih.biHeight) > 16384 || sizeof fh + ih.biSize > size)
        return nullptr;
    const int w = ih.biWidth, h = std::abs(ih.biHeight);
    if (ih.biCompression == BI_RGB) {
        const size_t stride = ((size_t(w) * ih.biBitCount + 31) / 32) * 4;
        if (fh.bfOffBits + stride * h > size) return nullptr;
    }
    std::unique_ptr<Surface> s(new Surface());
    Dib* d = new_dib(w, h);
    if (!d) return nullptr;
    s->s_ = d;
    HDC dc = GetDC(nullptr);
    int lines = SetDIBits(dc, d->bmp, 0, UINT(h), bytes + fh.bfOffBits,
                          reinterpret_cast<const BITMAPINFO*>(bytes + sizeof fh), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (lines != h) return nullptr;
    GdiFlush();
    d->blend = pixels::apply_colour_key(d->px, size_t(w) * h);
    return s;
}

int Surface::Width() const { return s_ ? D(s_)->w : 0; }
int Surface::Height() const { return s_ ? D(s_)->h : 0; }
bool Surface::Valid() const { return s_ != nullptr; }

void Surface::SetClip(const Rect& r) {
    if (!s_) return;
    Rect c{};
    if (!intersect(r, {0, 0, D(s_)->w, D(s_)->h}, &c)) c = {0, 0, 0, 0};
    D(s_)->clip = c;
}
void Surface::ClearClip() {
    if (s_) D(s_)->clip = {0, 0, D(s_)->w, D(s_)->h};
}
Rect Surface::Clip() const { return s_ ? D(s_)->clip : Rect{}; }

void Surface::Fill(const Rect& r, argb_t color) {
    if (!s_ || (color >> 24) == 0) return;
    Dib* d = D(s_);
    Rect a;
    if (!intersect(r, d->clip, &a)) return;
    GdiFlush();
    const bool opaque = (color >> 24) == 255;
    for (int y = a.y; y < a.y + a.h; ++y) {
        uint32_t* row = d->Row(y);
        if (opaque) {
            std::fill(row + a.x, row + a.x + a.w, color);
        } else {
            for (int x = a.x; x < a.x + a.w; ++x) row[x] = over(color, row[x]) | 0xFF000000;
        }
    }
}

void Surface::Blit(const Surface& src, const Rect& src_rect, int x, int y) {
    if (!s_ || !src.s_) return;
    Dib *d = D(s_), *s = D(src.s_);
    // The source rectangle within the source, the destination moved with it.
    Rect sr;
    if (!intersect(src_rect, {0, 0, s->w, s->h}, &sr)) return;
    x += sr.x - src_rect.x;
    y += sr.y - src_rect.y;
    Rect dr;
    if (!intersect({x, y, sr.w, sr.h}, d->clip, &dr)) return;
    GdiFlush();
    const int ox = sr.x - x, oy = sr.y - y;
    for (int j = dr.y; j < dr.y + dr.h; ++j) {
        const uint32_t* in = s->Row(j + oy) + ox;
        uint32_t* out = d->Row(j);
        if (s->blend) {
            for (int i = dr.x; i < dr.x + dr.w; ++i) out[i] = over(in[i], out[i]);
        } else {
            std::copy(in + dr.x, in + dr.x + dr.w, out + dr.x);
        }
    }
}

void Surface::BlitScaled(const Surface& src, const Rect& src_rect, const Rect& dst, bool copy) {
    if (!s_ || !src.s_ || dst.w <= 0 || dst.h <= 0 || src_rect.w <= 0 || src_rect.h <= 0) return;
    Dib *d = D(s_), *s = D(src.s_);
    if (src_rect.w == dst.w && src_rect.h == dst.h) {
        const bool was = s->blend;
        if (copy) s->blend = false;
        Blit(src, src_rect, dst.x, dst.y);
        s->blend = was;
        return;
    }
    Rect dr;
    if (!intersect(dst, d->clip, &dr)) return;
    GdiFlush();
    const bool blend = s->blend && !copy;
    // Nearest neighbour, sampling at the centre of each destination pixel.
    for (int j = dr.y; j < dr.y + dr.h; ++j) {
        int sy = src_rect.y + int((int64_t(j - dst.y) * 2 + 1) * src_rect.h / (int64_t(dst.h) * 2));
        if (sy < 0 || sy >= s->h) continue;
        const uint32_t* in = s->Row(sy);
        uint32_t* out = d->Row(j);
        for (int i = dr.x; i < dr.x + dr.w; ++i) {
            int sx = src_rect.x + int((int64_t(i - dst.x) * 2 + 1) * src_rect.w / (int64_t(dst.w) * 2));
            if (sx < 0 || sx >= s->w) continue;
            out[i] = blend ? over(in[sx], out[i]) : in[sx];
        }
    }
}

void Surface::MakeTransparent() {
    if (!s_) return;
    Dib* d = D(s_);
    GdiFlush();
    d->clip = {0, 0, d->w, d->h};
    std::fill(d->px, d->px + size_t(d->w) * d->h, 0u);
    d->blend = true;
}

bool Surface::HasAlpha() const { return s_ && D(s_)->blend; }

// Rendered lines of text as coverage masks (0..255 per pixel), reused while
// the same font draws the same text: labels are redrawn far more often than
// they change. The colour is applied when a mask is drawn.
namespace {
struct TextMask {
    int w = 0, h = 0;
    std::vector<uint8_t> a;
};
}  // namespace

struct Font::LineCache {
    static constexpr size_t kMax = 512;
    std::map<std::string, TextMask> lines;  // window thread only
    HDC dc = nullptr;                   // memory DC with the font selected

    ~LineCache() {
        if (dc) DeleteDC(dc);
    }
};

namespace {

HFONT HF(void* p) { return static_cast<HFONT>(p); }

// Draws one line white on black into a scratch DIB with the font's
// antialiasing; GDI leaves the alpha byte alone, so the coverage is read from
// the colour channels.
bool render_mask(HDC font_dc, const std::wstring& w, TextMask* m);

}  // namespace

void Surface::DrawText(const Font& font, std::string_view utf8, int x, int y, argb_t color) {
    if (!s_ || utf8.empty() || !font.native()) return;
    Font::LineCache& cache = *font.lines_;
    std::string key(utf8);
    auto it = cache.lines.find(key);
    if (it == cache.lines.end()) {
        TextMask m;
        if (!render_mask(cache.dc, wide(utf8), &m)) return;
        if (cache.lines.size() >= Font::LineCache::kMax) cache.lines.clear();
        it = cache.lines.emplace(std::move(key), std::move(m)).first;
    }
    const TextMask& m = it->second;
    Dib* d = D(s_);
    Rect dr;
    if (!intersect({x, y, m.w, m.h}, d->clip, &dr)) return;
    GdiFlush();
    const uint32_t rgb = color & 0xFFFFFF, ca = color >> 24;
    for (int j = dr.y; j < dr.y + dr.h; ++j) {
        const uint8_t* in = m.a.data() + size_t(j - y) * m.w - x;
        uint32_t* out = d->Row(j);
        for (int i = dr.x; i < dr.x + dr.w; ++i) {
            uint32_t a = in[i] * ca / 255;
            if (a) out[i] = over(rgb | (a << 24), out[i]);
        }
    }
}

argb_t Surface::Pixel(int x, int y) const {
    if (!s_ || x < 0 || y < 0 || x >= D(s_)->w || y >= D(s_)->h) return 0;
    GdiFlush();
    return D(s_)->Row(y)[x];
}

namespace {

// Encodes the pixels as a PNG into stream through WIC's encoder; COM must be
// open on this thread.
HRESULT encode_png(IWICImagingFactory* factory, Dib* d, IStream* stream) {
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    HRESULT hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(d->w), UINT(d->h));
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) hr = E_FAIL;
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(UINT(d->h), UINT(d->w) * 4, UINT(d->w) * UINT(d->h) * 4,
                                reinterpret_cast<BYTE*>(d->px));
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (frame) frame->Release();
    if (encoder) encoder->Release();
    return hr;
}

// Runs fn(factory) with COM open on this thread (as the thread already has it,
// or single-threaded) and a WIC factory; false when either is missing.
template <typename F>
bool with_wic(F&& fn) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool ok = false;
    IWICImagingFactory* factory = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory)))) {
        ok = fn(factory);
        factory->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return ok;
}

}  // namespace

bool Surface::SavePng(const std::string& path) const {
    if (!s_) return false;
    Dib* d = D(s_);
    GdiFlush();
    const std::wstring wpath = wide(path);
    return with_wic([&](IWICImagingFactory* factory) {
        IWICStream* stream = nullptr;
        HRESULT hr = factory->CreateStream(&stream);
        if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(wpath.c_str(), GENERIC_WRITE);
        if (SUCCEEDED(hr)) hr = encode_png(factory, d, stream);
        if (stream) stream->Release();
        if (FAILED(hr)) DeleteFileW(wpath.c_str());
        return SUCCEEDED(hr);
    });
}

bool Surface::EncodePng(std::string* bytes) const {
    if (!s_) return false;
    Dib* d = D(s_);
    GdiFlush();
    return with_wic([&](IWICImagingFactory* factory) {
        IStream* stream = nullptr;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return false;
        HRESULT hr = encode_png(factory, d, stream);
        HGLOBAL mem = nullptr;
        if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream, &mem);
        STATSTG st{};
        if (SUCCEEDED(hr)) hr = stream->Stat(&st, STATFLAG_NONAME);
        if (SUCCEEDED(hr)) {
            const void* p = GlobalLock(mem);
            if (p) {
                bytes->assign(static_cast<const char*>(p), size_t(st.cbSize.QuadPart));
                GlobalUnlock(mem);
            } else {
                hr = E_FAIL;
            }
        }
        stream->Release();
        return SUCCEEDED(hr);
    });
}

// ---- Font -----------------------------------------------------------------------

namespace {

bool render_mask(HDC font_dc, const std::wstring& w, TextMask* m) {
    SIZE sz{};
    if (!GetTextExtentPoint32W(font_dc, w.c_str(), int(w.size()), &sz) || sz.cx <= 0 || sz.cy <= 0) return false;
    // Italic overhangs and the like may reach past the advance width.
    const int pad = sz.cy / 4;
    Dib* scratch = new_dib(sz.cx + pad, sz.cy);
    if (!scratch) return false;
    HDC dc = scratch->Dc();
    HGDIOBJ old = SelectObject(dc, GetCurrentObject(font_dc, OBJ_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetTextAlign(dc, TA_TOP | TA_LEFT);
    std::fill(scratch->px, scratch->px + size_t(scratch->w) * scratch->h, 0u);
    TextOutW(dc, 0, 0, w.c_str(), int(w.size()));
    GdiFlush();
    SelectObject(dc, old);
    m->w = scratch->w;
    m->h = scratch->h;
    m->a.resize(size_t(m->w) * m->h);
    for (size_t i = 0; i < m->a.size(); ++i) {
        uint32_t p = scratch->px[i];
        m->a[i] = uint8_t(std::max({(p >> 16) & 255, (p >> 8) & 255, p & 255}));
    }
    free_dib(scratch);
    return true;
}

}  // namespace

std::unique_ptr<Font> Font::Open(const char* face, int height, int weight) {
    if (!face) return nullptr;
    // The height's sign rule is GDI's own: negative the character height,
    // positive the cell height.
    HFONT hf = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           wide(face).c_str());
    if (!hf) return nullptr;
    std::unique_ptr<Font> f(new Font());
    f->f_ = hf;
    f->lines_->dc = CreateCompatibleDC(nullptr);
    if (!f->lines_->dc) return nullptr;
    SelectObject(f->lines_->dc, hf);
    wchar_t name[LF_FACESIZE] = {};
    int n = GetTextFaceW(f->lines_->dc, LF_FACESIZE, name);
    f->family_ = narrow(name, n > 0 ? size_t(n - 1) : 0);
    // GDI does not say which file it chose; the face it settled on is what
    // there is to show.
    f->file_ = f->family_;
    return f;
}

Font::Font() : lines_(std::make_unique<LineCache>()) {}

Font::~Font() {
    lines_.reset();
    if (f_) DeleteObject(HF(f_));
}

int Font::LineHeight() const {
    TEXTMETRICW tm{};
    return f_ && GetTextMetricsW(lines_->dc, &tm) ? int(tm.tmHeight) : 0;
}

int Font::Ascent() const {
    TEXTMETRICW tm{};
    return f_ && GetTextMetricsW(lines_->dc, &tm) ? int(tm.tmAscent) : 0;
}

void Font::Measure(std::string_view utf8, int* w, int* h) const {
    *w = 0;
    *h = LineHeight();
    if (!f_ || utf8.empty()) return;
    std::wstring t = wide(utf8);
    SIZE sz{};
    if (GetTextExtentPoint32W(lines_->dc, t.c_str(), int(t.size()), &sz)) {
        *w = sz.cx;
        *h = sz.cy;
    }
}

// ---- Window ---------------------------------------------------------------------

// A window's native handle is its HWND; its own data hang on it.
namespace {
HWND H(void* p) { return static_cast<HWND>(p); }
WinData* WD(void* p) { return data_of(H(p)); }
}  // namespace

std::unique_ptr<Window> Window::Create(const std::string& title_utf8, uint32_t style) {
    auto* d = new WinData;
    d->style = style;
    d->title = title_utf8;
    d->id = g_next_id++;
    HWND h = CreateWindowExW(native_ex_style(style), kFormClass, wide(title_utf8).c_str(), native_style(style), 0, 0,
                             300, 300, nullptr, nullptr, g_instance, nullptr);
    if (!h) {
        delete d;
        return nullptr;
    }
    d->hwnd = h;
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(d));
    g_windows[d->id] = d;
    std::unique_ptr<Window> win(new Window());
    win->w_ = h;
    return win;
}

Window::~Window() {
    if (!w_) return;
    WinData* d = WD(w_);
    g_windows.erase(d->id);
    g_presented.erase(d->hwnd);
    SetWindowLongPtrW(d->hwnd, GWLP_USERDATA, 0);
    DestroyWindow(d->hwnd);
    if (d->icon) DestroyIcon(d->icon);
    delete d;
}

uint32_t Window::Id() const { return WD(w_)->id; }

void Window::SetTitle(const std::string& utf8) {
    WD(w_)->title = utf8;
    SetWindowTextW(H(w_), wide(utf8).c_str());
}

void Window::SetBounds(const Rect& r) {
    WinData* d = WD(w_);
    RECT o{r.x, r.y, r.x + std::max(r.w, 1), r.y + std::max(r.h, 1)};
    AdjustWindowRectEx(&o, native_style(d->style), FALSE, native_ex_style(d->style));
    SetWindowPos(d->hwnd, nullptr, o.left, o.top, o.right - o.left, o.bottom - o.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Window::Bounds() const {
    RECT c{};
    GetClientRect(H(w_), &c);
    POINT p{0, 0};
    ClientToScreen(H(w_), &p);
    return {int(p.x), int(p.y), int(c.right - c.left), int(c.bottom - c.top)};
}

void Window::SetMinimumSize(int w, int h) {
    WD(w_)->min_w = w;
    WD(w_)->min_h = h;
}

void Window::Show() { ShowWindow(H(w_), SW_SHOW); }
void Window::Hide() { ShowWindow(H(w_), SW_HIDE); }
void Window::Raise() {
    BringWindowToTop(H(w_));
    SetForegroundWindow(H(w_));
}
void Window::Flash() { FlashWindow(H(w_), TRUE); }
void Window::SetModalFor(Window* parent) {
    // The owner: the window stays above it and goes with it.
    if (parent) SetWindowLongPtrW(H(w_), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(H(parent->w_)));
}

void Window::SetIcon(const Surface& icon) {
    Dib* s = D(icon.native());
    if (!s) return;
    // The colour bitmap carries the alpha; the mask is required but unused
    // for a 32-bit colour bitmap with alpha.
    Dib* colour = new_dib(s->w, s->h);
    if (!colour) return;
    GdiFlush();
    std::copy(s->px, s->px + size_t(s->w) * s->h, colour->px);
    HBITMAP mask = CreateBitmap(s->w, s->h, 1, 1, nullptr);
    ICONINFO ii{TRUE, 0, 0, mask, colour->bmp};
    HICON hi = CreateIconIndirect(&ii);
    DeleteObject(mask);
    free_dib(colour);
    if (!hi) return;
    WinData* d = WD(w_);
    SendMessageW(d->hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hi));
    SendMessageW(d->hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hi));
    if (d->icon) DestroyIcon(d->icon);
    d->icon = hi;
}

void Window::Present(const Surface& s, const std::vector<Rect>& rects) {
    Dib* src = D(s.native());
    if (!src) return;
    HWND h = H(w_);
    g_presented[h] = src;
    HDC dc = GetDC(h);
    if (!dc) return;
    GdiFlush();
    if (rects.empty()) {
        BitBlt(dc, 0, 0, src->w, src->h, src->Dc(), 0, 0, SRCCOPY);
    } else {
        for (const Rect& r : rects) BitBlt(dc, r.x, r.y, r.w, r.h, src->Dc(), r.x, r.y, SRCCOPY);
    }
    ReleaseDC(h, dc);
}

void Window::WarpMouse(int x, int y) {
    POINT p{x, y};
    ClientToScreen(H(w_), &p);
    SetCursorPos(p.x, p.y);
}
void Window::StartTextInput() { g_text_input = true; }
void Window::StopTextInput() { g_text_input = false; }

std::string WindowTitle(uint32_t id) {
    auto it = g_windows.find(id);
    return it == g_windows.end() ? std::string() : it->second->title;
}
bool WindowDecorated(uint32_t id) {
    auto it = g_windows.find(id);
    return it != g_windows.end() && (it->second->style & kStyleTitle);
}
bool WindowInTaskbar(uint32_t id) {
    auto it = g_windows.find(id);
    return it != g_windows.end() &&
           !(GetWindowLongPtrW(it->second->hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

// ---- monitors -------------------------------------------------------------------

Rect MonitorArea(int x, int y, bool whole) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    HMONITOR m = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTOPRIMARY);
    if (!m || !GetMonitorInfoW(m, &mi)) return {0, 0, 1024, 768};
    const RECT& r = whole ? mi.rcMonitor : mi.rcWork;
    return {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
}

void MousePosition(int* x, int* y) {
    POINT p{0, 0};
    GetCursorPos(&p);
    *x = p.x;
    *y = p.y;
}

// ---- events ---------------------------------------------------------------------

namespace {

void pump_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            push(make_event(EventType::Quit));
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

bool WaitEvent(Event* ev, int timeout_ms) {
    const uint64_t start = GetTickCount64();
    while (true) {
        pump_messages();
        if (pop(ev)) return true;
        DWORD wait = INFINITE;
        if (timeout_ms >= 0) {
            const uint64_t spent = GetTickCount64() - start;
            if (spent >= uint64_t(timeout_ms)) return false;
            wait = DWORD(uint64_t(timeout_ms) - spent);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool PollEvent(Event* ev) {
    pump_messages();
    return pop(ev);
}

void Wake() {
    // Posting is safe from any thread; the helper window may be gone when
    // the layer has just been released, and then there is nothing to wake.
    HWND h = g_helper;
    if (h) PostMessageW(h, kWakeMessage, 0, 0);
}

void PushQuit() {
    push(make_event(EventType::Quit));
    Wake();
}

void PushMouse(uint32_t window, EventType type, int x, int y, int button, int wheel) {
    if (type != EventType::MouseDown && type != EventType::MouseUp && type != EventType::MouseMove &&
        type != EventType::MouseWheel)
        return;
    Event ev;
    ev.type = type;
    ev.window = window;
    ev.x = x;
    ev.y = y;
    ev.button = button;
    ev.wheel = wheel;
    ev.clicks = (type == EventType::MouseDown || type == EventType::MouseUp) ? 1 : 0;
    push(ev);
    Wake();
}

void PushKey(uint32_t window, int key, uint32_t mods) {
    Event ev;
    ev.type = EventType::KeyDown;
    ev.window = window;
    ev.key = key;
    ev.mods = mods;
    push(ev);
    Wake();
}

void PushText(uint32_t window, const std::u16string& t) {
    Event ev;
    ev.type = EventType::Text;
    ev.window = window;
    ev.text = t;
    push(ev);
    Wake();
}

void PushWindowClose(uint32_t window) {
    Event ev;
    ev.type = EventType::WindowClose;
    ev.window = window;
    push(ev);
    Wake();
}

// ---- clipboard ------------------------------------------------------------------

bool SetClipboardText(const std::string& utf8) {
    std::wstring w = wide(utf8);
    if (!OpenClipboard(g_helper)) return false;
    bool ok = false;
    if (EmptyClipboard()) {
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t));
        if (mem) {
            auto* p = static_cast<wchar_t*>(GlobalLock(mem));
            std::copy(w.c_str(), w.c_str() + w.size() + 1, p);
            GlobalUnlock(mem);
            ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
            if (!ok) GlobalFree(mem);
        }
    }
    CloseClipboard();
    return ok;
}

std::string ClipboardText() {
    if (!OpenClipboard(g_helper)) return {};
    std::string r;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            r = narrow(p, wcsnlen(p, GlobalSize(h) / sizeof(wchar_t)));
            GlobalUnlock(h);
        }
    } else if (HANDLE t = GetClipboardData(CF_TEXT)) {
        // Plain text is in the system's code page.
        if (auto* p = static_cast<const char*>(GlobalLock(t))) {
            int n = int(strnlen(p, GlobalSize(t)));
            std::wstring w(size_t(MultiByteToWideChar(CP_ACP, 0, p, n, nullptr, 0)), L'\0');
            MultiByteToWideChar(CP_ACP, 0, p, n, w.data(), int(w.size()));
            r = narrow(w.data(), w.size());
            GlobalUnlock(t);
        }
    }
    CloseClipboard();
    return r;
}

// ---- dialogs --------------------------------------------------------------------

DialogResult SaveFileDialog(uint32_t owner, const std::u16string& filter, std::u16string* path,
                            int* filter_index) {
    // The filter's "|" separators become the dialog's NULs, ended by two.
    std::wstring f(filter.begin(), filter.end());
    std::replace(f.begin(), f.end(), L'|', L'\0');
    f.push_back(L'\0');
    f.push_back(L'\0');
    std::wstring buf(kMaxDialogPath + 1, L'\0');
    std::copy_n(path->begin(), std::min(path->size(), kMaxDialogPath), buf.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    auto it = g_windows.find(owner);
    ofn.hwndOwner = it == g_windows.end() ? nullptr : it->second->hwnd;
    ofn.lpstrFilter = f.c_str();
    ofn.nFilterIndex = DWORD(std::max(*filter_index, 1));
    ofn.lpstrFile = buf.data();
    ofn.nMaxFile = DWORD(buf.size());
    // An empty default extension: a name typed without one gets the chosen
    // type's.
    ofn.lpstrDefExt = L"";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) return DialogResult::Cancelled;
    *path = std::u16string(buf.c_str(), buf.c_str() + wcsnlen(buf.c_str(), buf.size()));
    *filter_index = int(ofn.nFilterIndex);
    return DialogResult::Accepted;
}

}  // namespace plat::ui
