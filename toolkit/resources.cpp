#include "toolkit/resources.h"

#include <map>
#include <memory>
#include <string>

#include "platform/native_ui.h"

namespace UIK {

namespace {

const char* const kSkinNames[kSkinCount] = {
    "bmpFormSkin", "bmpPanelSkin", "bmpAntipanelSkin",
    "bmpButtonIco_ScrollUp", "bmpButtonIco_ScrollDown", "bmpCustomButton_CloseForm",
    "bmpButtonIco_Lock0", "bmpButtonIco_Lock1", "bmpButtonIco_Forbidden", "bmpButtonIco_Calculator",
    "bmpButtonSkin_Vulgar1", "bmpButtonSkin_Vulgar2", "bmpButtonSkin_Vulgar3", "bmpCustomButton_Checkbox",
    "bmpCustomButton_RadioButton", "bmpButtonSkin_Vulgar4", "bmpInputNumberLabelSkin",
    "bmpButtonSkin_Flat1", "bmpButtonSkin_Flat4", "bmpCustomButton_MaximizeForm",
    "bmpButtonIco_ScrollLeft", "bmpButtonIco_ScrollRight", "bmpButtonSkin_ListboxItem",
    "bmpButtonSkin_FlatInvisible",
    "bmpButtonIco_ScrollLeft2", "bmpButtonIco_ScrollRight2", "bmpButtonSkin_MenuItem1", "bmpButtonSkin_Tab",
    "bmpButtonSkin_Vulgar1Red", "bmpLogoORB", "bmpScrollStripSkin",
    "bmpButtonSkin_ScrollThumb", "bmpButtonSkin_ScrollThumb2", "bmpButtonSkin_ScrollThumb3",
    "bmpButtonSkin_StringSelector", "bmpButtonSkin_StringSelectorL", "bmpButtonSkin_StringSelectorR",
    "bmpButtonSkin_StringSelectorU", "bmpButtonSkin_StringSelectorD",
    "bmpButtonSkin_MiniScrollLeft", "bmpButtonSkin_MiniScrollRight", "bmpButtonSkin_MiniScrollUp",
    "bmpButtonSkin_MiniScrollDown",
    "bmpDialogImageFolder", "bmpDialogImageFile", "bmpDialogImageDisk", "bmpDialogImageUsbFlash",
};

struct FontSpec {
    const char* face;
    int height;
    int weight;
};
// In the order of GFontRole.
const FontSpec kFonts[kFontCount] = {
    {"Courier New", -16, 0},  // kFontFixed
    {"Courier New", -16, 0},  // kFontFixedSpare1
    {"Tahoma", -12, 0},       // kFontSmall
    {"Courier New", -16, 0},  // kFontFixedSpare3
    {"Tahoma", 72, 0},        // kFontDisplay
    {"Courier New", -12, 0},  // kFontFixedSmall
    {"Tahoma", -32, 600},     // kFontHeading
};

// Window thread only, like every other part of the toolkit. Never destroyed:
// what a holder still keeps at exit is left to the process's end rather than
// released by a static destructor after the native layer is gone.
struct Store {
    int users = 0;
    std::unique_ptr<GBitmap> skins[kSkinCount];
    std::unique_ptr<GFont> fonts[kFontCount];
    std::map<std::string, std::unique_ptr<GBitmap>> images;
};
Store& g_store = *new Store;

}  // namespace

bool GResources::Acquire() {
    if (g_store.users > 0) { ++g_store.users; return true; }
    if (!plat::ui::Acquire()) return false;
    for (int i = 0; i < kSkinCount; ++i) {
        const GEmbeddedFile* f = FindEmbedded(kSkinNames[i]);
        if (f) g_store.skins[i] = GBitmap::FromBmp(f->data, f->size);
    }
    for (int i = 0; i < kFontCount; ++i) {
        auto f = plat::ui::Font::Open(kFonts[i].face, kFonts[i].height, kFonts[i].weight);
        if (f) g_store.fonts[i] = std::make_unique<GFont>(std::move(f));
    }
    g_store.users = 1;
    return true;
}

void GResources::Release() {
    if (g_store.users == 0) return;
    if (--g_store.users > 0) return;
    DropSkinCache();
    for (auto& s : g_store.skins) s.reset();
    for (auto& f : g_store.fonts) f.reset();
    g_store.images.clear();
    plat::ui::Release();
}

int GResources::UserCount() { return g_store.users; }

GBitmap* GResources::Skin(int index) {
    if (index < 0 || index >= kSkinCount || g_store.users == 0) return nullptr;
    return g_store.skins[index].get();
}

GFont* GResources::Font(int index) {
    if (index < 0 || index >= kFontCount || g_store.users == 0) return nullptr;
    return g_store.fonts[index].get();
}

GBitmap* GResources::Image(const char* name) {
    if (g_store.users == 0 || !name) return nullptr;
    auto it = g_store.images.find(name);
    if (it != g_store.images.end()) return it->second.get();
    const GEmbeddedFile* f = FindEmbedded(name);
    if (!f) return nullptr;
    auto bmp = GBitmap::FromBmp(f->data, f->size);
    GBitmap* raw = bmp.get();
    if (bmp) g_store.images.emplace(name, std::move(bmp));
    return raw;
}

GRect GResources::SkinFrame(const GBitmap& skin, int state) {
    int w = skin.Width() / kSkinStates;
    if (state < 0 || state >= kSkinStates) state = 0;
    return {state * w, 0, w, skin.Height()};
}

}  // namespace UIK
