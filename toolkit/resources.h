// The toolkit's shared resources: the skin bitmaps by index, the fonts by
// index and named images built into the program. They are made by the first
// user (Acquire) and deleted when the last one releases them.
#pragma once

#include "toolkit/canvas.h"

namespace UIK {

enum GSkin : int {
    bmpFormSkin = 0, bmpPanelSkin, bmpAntipanelSkin,
    bmpButtonIco_ScrollUp, bmpButtonIco_ScrollDown, bmpCustomButton_CloseForm,
    bmpButtonIco_Lock0, bmpButtonIco_Lock1, bmpButtonIco_Forbidden, bmpButtonIco_Calculator,
    bmpButtonSkin_Vulgar1, bmpButtonSkin_Vulgar2, bmpButtonSkin_Vulgar3, bmpCustomButton_Checkbox,
    bmpCustomButton_RadioButton, bmpButtonSkin_Vulgar4, bmpInputNumberLabelSkin,
    bmpButtonSkin_Flat1, bmpButtonSkin_Flat4, bmpCustomButton_MaximizeForm,
    bmpButtonIco_ScrollLeft, bmpButtonIco_ScrollRight, bmpButtonSkin_ListboxItem, bmpButtonSkin_FlatInvisible,
    bmpButtonIco_ScrollLeft2, bmpButtonIco_ScrollRight2, bmpButtonSkin_MenuItem1, bmpButtonSkin_Tab,
    bmpButtonSkin_Vulgar1Red, bmpLogoORB, bmpScrollStripSkin,
    bmpButtonSkin_ScrollThumb, bmpButtonSkin_ScrollThumb2, bmpButtonSkin_ScrollThumb3,
    bmpButtonSkin_StringSelector, bmpButtonSkin_StringSelectorL, bmpButtonSkin_StringSelectorR,
    bmpButtonSkin_StringSelectorU, bmpButtonSkin_StringSelectorD,
    bmpButtonSkin_MiniScrollLeft, bmpButtonSkin_MiniScrollRight, bmpButtonSkin_MiniScrollUp,
    bmpButtonSkin_MiniScrollDown,
    bmpDialogImageFolder, bmpDialogImageFile, bmpDialogImageDisk, bmpDialogImageUsbFlash,
    kSkinCount
};

// How skin pictures are laid out:
// - button skins (the *ButtonSkin_* names): four frames side by side, of equal
//   width, for the states normal, hot (pointer over), pressed and disabled;
//   drawn nine-slice with kSkinMargin;
// - check box and radio button: four square frames side by side: unchecked,
//   checked, unchecked disabled, checked disabled;
// - form, panel, anti-panel, scroll strip and input-label skins: one frame,
//   drawn nine-slice;
// - icons (*ButtonIco_*, CloseForm, MaximizeForm, logo): one picture, colour
//   255,0,255 transparent.
constexpr int kSkinMargin = 6;
constexpr int kSkinStates = 4;
enum GSkinState : int { kStateNormal = 0, kStateHot = 1, kStatePressed = 2, kStateDisabled = 3 };

class GResources {
public:
    // Counted: the first Acquire makes the skins and fonts (and opens the
    // native layer), the last Release deletes them.
    static bool Acquire();
    static void Release();
    static int UserCount();

    // Null for an index outside the table or a picture the program lacks
    // (the dialog images 43-46), and while no user holds the resources.
    static GBitmap* Skin(int index);
    static GFont* Font(int index);
    // A picture built into the program by its resource name ("IMG_MAIN").
    static GBitmap* Image(const char* name);
    // The part of a stateful skin for one state.
    static GRect SkinFrame(const GBitmap& skin, int state);
};

// Holds the resources for its lifetime.
class GResourcesUser {
public:
    GResourcesUser() { ok_ = GResources::Acquire(); }
    ~GResourcesUser() { if (ok_) GResources::Release(); }
    bool Ok() const { return ok_; }
    GResourcesUser(const GResourcesUser&) = delete;
    GResourcesUser& operator=(const GResourcesUser&) = delete;

private:
    bool ok_;
};

// Pictures built into the program (generated at build time from resources/).
struct GEmbeddedFile {
    const char* name;  // file name without folder and extension
    const unsigned char* data;
    size_t size;
};
const GEmbeddedFile* FindEmbedded(const char* name);

}  // namespace UIK
