// The native user-interface layer of the toolkit: windows, input events,
// surfaces, fonts, clipboard, monitors and the wake-up of the event wait.
// Everything here runs on the window thread, except Wake(), which any thread
// may call. The toolkit sees only this header, never SDL itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ui {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// 0xAARRGGBB.
using argb_t = uint32_t;

// Takes the video, font and event subsystems (counted; the first call opens
// them, the last Release closes them). False when no video driver is usable.
bool Acquire();
void Release();
bool IsAcquired();

// Takes only what drawing into surfaces needs (fonts), without a display:
// for pictures made by a program that shows no window. Counted apart from
// Acquire; False when the font library cannot start.
bool AcquireDrawing();
void ReleaseDrawing();

// What to do when the connection to the display is lost (the X server went
// away: logout, a dropped remote session). fn is called once, on the window
// thread inside the native call that failed; it must finish what cannot wait
// (stop the traffic, save the settings) without touching any window, and
// returns the exit status. The process then ends at once, without static
// destructors: the native objects cannot be released any more. Without fn the
// process ends with status 1. Signals are not caught by this layer; see
// plat::on_session_end. Where the system itself ends the desktop session
// with a message to the windows (Windows), fn answers that too, and the
// process ends with its status.
void SetDisplayLostHandler(int (*fn)());

// Milliseconds since an arbitrary start, monotonic.
uint64_t Ticks();

// ---- surfaces ---------------------------------------------------------------

class Font;

// A 32-bit ARGB pixel buffer. Drawing is clipped to the clip rectangle.
class Surface {
public:
    Surface(int w, int h);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // A surface from a BMP file image in memory; null when the bytes are not
    // a readable BMP. Pixels of colour 255,0,255 become transparent.
    static std::unique_ptr<Surface> FromBmp(const void* data, size_t size);

    int Width() const;
    int Height() const;
    bool Valid() const;

    void SetClip(const Rect& r);
    void ClearClip();
    Rect Clip() const;

    void Fill(const Rect& r, argb_t color);
    // Copies src_rect of src to the point x, y, honouring src's alpha.
    void Blit(const Surface& src, const Rect& src_rect, int x, int y);
    // Scales src_rect of src into dst; copy replaces the pixels (alpha too)
    // instead of blending.
    void BlitScaled(const Surface& src, const Rect& src_rect, const Rect& dst, bool copy = false);
    // Clears to fully transparent and makes later blits from this surface
    // blend by its alpha.
    void MakeTransparent();
    bool HasAlpha() const;
    // Draws one line of UTF-8 text with its top-left corner at x, y.
    void DrawText(const Font& font, std::string_view utf8, int x, int y, argb_t color);

    argb_t Pixel(int x, int y) const;
    // Writes the surface as a PNG file; false on failure.
    bool SavePng(const std::string& path) const;
    // The bytes of the PNG file of the surface; false on failure.
    bool EncodePng(std::string* bytes) const;

    void* native() const { return s_; }

private:
    Surface() = default;
    void* s_ = nullptr;
};

// ---- fonts ------------------------------------------------------------------

// A face found by its name (through fontconfig, or the system's font mapper
// where there is one). The height follows the sign rule of
// logical fonts: negative is the character (em) height in pixels, positive
// the cell height (ascent plus descent). weight 0 is normal; 600 and above
// select a bold face (or emboldening when the family has none).
class Font {
public:
    static std::unique_ptr<Font> Open(const char* face, int height, int weight);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    int LineHeight() const;
    int Ascent() const;
    // Width and height of one line of UTF-8 text.
    void Measure(std::string_view utf8, int* w, int* h) const;
    // File that was chosen (the face's name where the system does not tell)
    // and its family name (for diagnostics, tests).
    const std::string& File() const { return file_; }
    const std::string& Family() const { return family_; }

    void* native() const { return f_; }

private:
    friend class Surface;
    struct LineCache;
    Font();
    void* f_ = nullptr;
    std::string file_, family_;
    // Rendered lines of this font; freed with it, so nothing outside the font
    // has to outlive it.
    std::unique_ptr<LineCache> lines_;
};

// ---- windows ----------------------------------------------------------------

enum WindowStyle : uint32_t {
    kStylePopup = 0,       // no border, no title
    kStyleTitle = 1,       // native caption with system menu, minimise and maximise
    kStyleSizeBox = 2,     // sizing border
    kStyleMenu = 4,        // a drop-down or menu: kept off the task bar
};

class Window {
public:
    // Created hidden at 0, 0 with 300 x 300, as the native layer prefers;
    // the caller then gives it its rectangle and shows it.
    static std::unique_ptr<Window> Create(const std::string& title_utf8, uint32_t style);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    uint32_t Id() const;
    void SetTitle(const std::string& utf8);
    void SetBounds(const Rect& r);  // screen coordinates of the client area
    Rect Bounds() const;
    void SetMinimumSize(int w, int h);
    void Show();
    void Hide();
    void Raise();
    void Flash();
    void SetModalFor(Window* parent);
    void SetIcon(const Surface& icon);
    // Copies the given rectangles of the surface (client coordinates) to the
    // screen; an empty list copies everything.
    void Present(const Surface& s, const std::vector<Rect>& rects);
    void WarpMouse(int x, int y);
    void StartTextInput();
    void StopTextInput();
    void* native() const { return w_; }

private:
    Window() = default;
    void* w_ = nullptr;
};

// What the window manager is told about the window of an id: its title,
// whether it asks for a native frame (title bar, border), whether it may show
// in the task bar. For tests and diagnostics; false/empty for an unknown id.
std::string WindowTitle(uint32_t id);
bool WindowDecorated(uint32_t id);
bool WindowInTaskbar(uint32_t id);

// ---- monitors ---------------------------------------------------------------

// Bounds of the monitor holding the point: its usable (work) area, or the
// whole monitor when whole is true. Falls back to the first monitor.
Rect MonitorArea(int x, int y, bool whole);
void MousePosition(int* x, int* y);  // screen coordinates

// ---- events -----------------------------------------------------------------

enum Modifier : uint32_t { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

// Keys not carried as characters. Letters and digits use their lower-case
// ASCII code.
enum Key : int {
    kKeyNone = 0,
    kKeyBackspace = 8, kKeyTab = 9, kKeyEnter = 13, kKeyEscape = 27, kKeySpace = 32,
    kKeyDelete = 127,
    kKeyLeft = 0x1000, kKeyRight, kKeyUp, kKeyDown, kKeyHome, kKeyEnd,
    kKeyPageUp, kKeyPageDown, kKeyInsert,
    kKeyF1 = 0x1100,
};

enum class EventType {
    None, Quit, Wake,
    WindowClose, WindowResized, WindowMoved, WindowExposed, WindowFocus, WindowFocusLost, WindowLeave,
    MouseDown, MouseUp, MouseMove, MouseWheel,
    KeyDown, KeyUp, Text,
};

struct Event {
    EventType type = EventType::None;
    uint32_t window = 0;
    int x = 0, y = 0;      // client coordinates; new size for WindowResized
    int button = 0;        // 1 left, 2 middle, 3 right
    int clicks = 0;        // 2 on a double click
    int wheel = 0;         // notches, positive away from the user
    int key = 0;           // Key or character code
    uint32_t mods = 0;
    std::u16string text;   // typed text (Text)
};

// Waits at most timeout_ms (negative: without limit) for the next event.
// False when none arrived.
bool WaitEvent(Event* ev, int timeout_ms);
bool PollEvent(Event* ev);
// Makes a waiting WaitEvent return. Safe from any thread.
void Wake();
void PushQuit();

// Synthesised input, queued as if it came from the user (tests, demos).
void PushMouse(uint32_t window, EventType type, int x, int y, int button, int wheel = 0);
void PushKey(uint32_t window, int key, uint32_t mods);
void PushText(uint32_t window, const std::u16string& text);
// A press of the window's close box.
void PushWindowClose(uint32_t window);

// ---- dialogs ----------------------------------------------------------------

enum class DialogResult { NotAvailable, Accepted, Cancelled };

// Longest path the save-file dialog returns, in UTF-16 units.
constexpr size_t kMaxDialogPath = 1024;

// The platform's own save-file dialog, owned by the window of the id (0: no
// owner), with overwrite confirmation. filter: pairs of a type name and its
// patterns, all separated by "|". path: in, the proposed name; out, the
// chosen one. filter_index: in and out, counted from 1. NotAvailable where
// the platform has no such dialog (the toolkit then draws its own).
DialogResult SaveFileDialog(uint32_t owner, const std::u16string& filter, std::u16string* path,
                            int* filter_index);

// ---- clipboard --------------------------------------------------------------

bool SetClipboardText(const std::string& utf8);
std::string ClipboardText();

}  // namespace plat::ui
