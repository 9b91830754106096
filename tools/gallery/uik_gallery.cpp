// uik-gallery: every control of the toolkit in its states (normal, hot,
// pressed, focused, checked, disabled) on a few forms.
//   uik-gallery                    shows the forms; closing the first ends it
//   uik-gallery --screenshot FILE  writes FILE-1.png, FILE-2.png, ... (or
//                                  FILE/gallery-N.png when FILE is a folder)
//                                  without a display and exits
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/dirs.h"
#include "platform/display.h"
#include "platform/native_ui.h"
#include "toolkit/uik.h"

using namespace UIK;

namespace {

// Keeps every control made for the gallery alive as long as the forms.
std::vector<std::unique_ptr<GControl>> g_keep;

template <typename T>
T* make(GControl* parent, int x, int y, int w, int h) {
    auto c = std::make_unique<T>(parent);
    c->SetBounds(x, y, w, h);
    T* raw = c.get();
    g_keep.push_back(std::move(c));
    return raw;
}

GLabel* label(GControl* p, int x, int y, int w, int h, const char16_t* t, unsigned align = kAlignLeft | kAlignMiddle,
              GFontRole font = kFontSmall) {
    GLabel* l = make<GLabel>(p, x, y, w, h);
    l->SetText(t);
    l->SetAlignment(align);
    l->SetFont(font);
    return l;
}

GLabel* heading(GControl* p, int x, int y, int w, const char16_t* t) {
    GLabel* l = label(p, x, y, w, 24, t);
    l->SetForeColor(RGB(214, 230, 247));
    return l;
}

// A gallery form: its title, its place and size, and the band across its top.
template <typename Form>
void gallery_form(Form& f, const char16_t* title, int x, int y, int w, int h, const char16_t* band) {
    f.SetTitle(title);
    f.SetBounds(x, y, w, h);
    label(&f, 0, 0, w, 44, band, kAlignCenter | kAlignMiddle, kFontHeading)->SetBackColor(kColorDark);
}

GTextButton* button(GControl* p, int x, int y, int w, int h, const char16_t* t) {
    GTextButton* b = make<GTextButton>(p, x, y, w, h);
    b->SetCaption(t);
    b->SetFont(kFontSmall);
    return b;
}

void push_move(GForm& f, GControl& c) {
    GRect r = c.FormRect();
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseMove, r.left + r.width / 2,
                        r.top + r.height / 2, 0);
}

void push_down(GForm& f, GControl& c) {
    GRect r = c.FormRect();
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseDown, r.left + r.width / 2,
                        r.top + r.height / 2, 1);
}

// Hot and pressed states need the mouse; focus is set afterwards.
struct States {
    GControl* hot = nullptr;
    GControl* pressed = nullptr;
    GControl* focused = nullptr;
};

void apply_states(GTabKeyForm& f, const States& s) {
    if (s.hot) push_move(f, *s.hot);
    App::ProcessPending();
    if (s.pressed) push_down(f, *s.pressed);
    App::ProcessPending();
    if (s.focused) f.SetFocus(s.focused);
    App::ProcessPending();
}

// ---- form 1: buttons, labels, check boxes, bars ---------------------------------------

void build_basic(GTabKeyForm& f, States& st) {
    gallery_form(f, u"Галерея: кнопки, надписи, флажки", 40, 40, 900, 600, u"Элементы управления");

    heading(&f, 16, 52, 260, u"Кнопки с текстом");
    GTextButton* b1 = button(&f, 16, 80, 200, 46, u"Обычная");
    GTextButton* b2 = button(&f, 16, 132, 200, 46, u"Под указателем");
    GTextButton* b3 = button(&f, 16, 184, 200, 46, u"Нажатая");
    GTextButton* b4 = button(&f, 16, 236, 200, 46, u"Недоступная");
    b4->SetEnabled(false);
    GTextButton* b5 = button(&f, 16, 288, 200, 46, u"В фокусе");
    GTextButton* b6 = button(&f, 16, 340, 200, 62, u"Настройки связи\nи поиск устройств");
    GTextButton* b7 = button(&f, 16, 408, 200, 46, u"Сброс блокировки");
    b7->SetSkin(bmpButtonSkin_Vulgar1Red);
    GTextButton* b8 = button(&f, 16, 460, 98, 46, u"Flat1");
    b8->SetSkin(bmpButtonSkin_Flat1);
    GTextButton* b9 = button(&f, 118, 460, 98, 46, u"Vulgar4");
    b9->SetSkin(bmpButtonSkin_Vulgar4);
    for (GTextButton* b : {b1, b2, b3, b4, b5, b6, b7}) f.AddTabControl(b);
    st.hot = b2;
    st.pressed = b3;
    st.focused = b5;

    heading(&f, 16, 514, 200, u"Кнопки с картинкой");
    int icons[] = {bmpButtonIco_Lock0, bmpButtonIco_Lock1, bmpButtonIco_Forbidden, bmpButtonIco_Calculator,
                   bmpButtonIco_ScrollUp, bmpButtonIco_ScrollDown};
    for (int i = 0; i < 6; ++i) {
        GImgButton* ib = make<GImgButton>(&f, 16 + i * 42, 542, 38, 38);
        ib->SetIcon(icons[i]);
        if (i == 5) ib->SetEnabled(false);
    }

    heading(&f, 290, 52, 280, u"Надписи");
    label(&f, 290, 80, 280, 30, u"Слева", kAlignLeft | kAlignMiddle)->SetBackColor(kColorLight);
    label(&f, 290, 112, 280, 30, u"По центру", kAlignCenter | kAlignMiddle)->SetBackColor(kColorMid);
    label(&f, 290, 144, 280, 30, u"Справа", kAlignRight | kAlignMiddle)->SetBackColor(kColorLight);
    GLabel* wrap = label(&f, 290, 176, 280, 58,
                         u"Длинный текст переносится по словам, когда включён перенос строк.",
                         kAlignCenter | kAlignMiddle);
    wrap->SetWordWrap(true);
    wrap->SetBackColor(kColorMid);
    GLabel* dis = label(&f, 290, 236, 280, 30, u"Недоступная надпись", kAlignCenter | kAlignMiddle);
    dis->SetEnabled(false);
    dis->SetBackColor(kColorLight);
    label(&f, 290, 268, 280, 30, u"Courier New 16: 0123456789", kAlignLeft | kAlignMiddle, kFontFixed);

    heading(&f, 290, 306, 280, u"Флажки");
    const char16_t* caps[] = {u"Чётность", u"Эхоподавление", u"Недоступный", u"Недоступный отмеченный",
                              u"Стоп-бит"};
    GCheckBoxCaptioned* focused_cb = nullptr;
    for (int i = 0; i < 5; ++i) {
        auto* cb = make<GCheckBoxCaptioned>(&f, 290, 334 + i * 30, 280, 26);
        cb->SetCaption(caps[i]);
        cb->SetFont(kFontSmall);
        cb->SetChecked(i == 1 || i == 3);
        if (i == 2 || i == 3) cb->SetEnabled(false);
        if (i == 4) focused_cb = cb;
    }
    (void)focused_cb;

    heading(&f, 290, 490, 280, u"Панели");
    GPanel* panel = make<GPanel>(&f, 290, 518, 136, 64);
    label(panel, 4, 4, 128, 56, u"GPanel", kAlignCenter | kAlignMiddle);
    GAntiPanel* anti = make<GAntiPanel>(&f, 434, 518, 136, 64);
    label(anti, 4, 4, 128, 56, u"GAntiPanel", kAlignCenter | kAlignMiddle);

    heading(&f, 600, 52, 280, u"Полосы прогресса");
    int pos[] = {0, 40, 100};
    for (int i = 0; i < 3; ++i) {
        auto* pb = make<GProgressBar>(&f, 600, 80 + i * 30, 280, 22);
        pb->SetRange(0, 100);
        pb->SetPosition(pos[i]);
    }
    auto* pbd = make<GProgressBar>(&f, 600, 170, 280, 22);
    pbd->SetPosition(60);
    pbd->SetEnabled(false);

    heading(&f, 600, 206, 280, u"Полосы прокрутки");
    auto* sh = make<GScrollBar>(&f, 600, 234, 280, 24);
    sh->SetRange(0, 4095);
    sh->SetLargeStep(400);
    sh->SetPosition(1200);
    auto* shd = make<GScrollBar>(&f, 600, 266, 280, 24);
    shd->SetPosition(70);
    shd->SetEnabled(false);
    auto* sv = make<GScrollBar>(&f, 600, 300, 24, 200);
    sv->SetPosition(30);
    auto* sv2 = make<GScrollBar>(&f, 640, 300, 24, 200);
    sv2->SetPosition(80);
    f.AddTabControl(sv2);
    auto* svd = make<GScrollBar>(&f, 680, 300, 24, 200);
    svd->SetEnabled(false);
    label(&f, 720, 300, 160, 200, u"Вертикальные: обычная, вторая, недоступная", kAlignLeft | kAlignTop)
        ->SetWordWrap(true);
}

// ---- form 2: inputs, tables, lists, selectors -----------------------------------------

template <typename T>
T* keep(std::unique_ptr<T> c) {
    T* raw = c.get();
    g_keep.push_back(std::move(c));
    return raw;
}

void build_inputs(GTabKeyForm& f, States& st) {
    gallery_form(f, u"Галерея: ввод чисел, таблицы и списки", 60, 60, 900, 600, u"Ввод, таблицы и списки");

    heading(&f, 16, 52, 420, u"Таблица с полями ввода");
    auto* table = keep(std::make_unique<GControlsTableExt>(&f, 5, 2));
    table->SetBounds(16, 80, 420, 0);
    table->SetColumnWidth(0, 220);
    table->FitHeight();
    const char16_t* caps[] = {u"Концентрация, %", u"Задержка, мс (пусто)", u"Недоступное поле", u"Поле в фокусе",
                              u"Вывод: найдено"};
    for (int r = 0; r < 5; ++r) {
        table->Cell(r, 0)->SetText(caps[r]);
        table->Cell(r, 0)->SetFont(kFontSmall);
    }
    auto* d = keep(std::make_unique<GInputDoubleLabel>());
    d->SetValue(12.5);
    table->Place(0, 1, d);
    auto* e = keep(std::make_unique<GInputInt64Label>());
    e->SetEmptyText(u" 0");
    table->Place(1, 1, e);
    auto* dis = keep(std::make_unique<GInputInt64Label>());
    dis->SetValue(247);
    dis->SetEnabled(false);
    table->Place(2, 1, dis);
    auto* foc = keep(std::make_unique<GInputInt64Label>());
    foc->SetDisplayFormat(u"%04I64d");
    foc->SetValue(2026);
    table->Place(3, 1, foc);
    auto* out = keep(std::make_unique<GOutputInt64Label>());
    out->SetDisplayFormat(u"Найдено: %I64d");
    out->SetValue(3);
    out->SetFont(kFontSmall);
    table->Place(4, 1, out);
    for (GControl* c : std::initializer_list<GControl*>{d, e, foc}) f.AddTabControl(c);
    st.focused = foc;

    heading(&f, 16, 296, 420, u"Выбор из списка");
    auto* s1 = make<GStringSelector>(&f, 16, 324, 200, 36);
    s1->SetItems({u"1200", u"2400", u"4800", u"9600", u"19200"});
    s1->SetSelectedIndex(3);
    auto* s2 = make<GStringSelector>(&f, 236, 324, 200, 36);
    s2->SetItems({u"COM1", u"COM3"});
    s2->SetSelectedIndex(0);
    s2->SetEnabled(false);
    auto* s3 = make<GStringSelector>(&f, 16, 366, 200, 36);
    s3->SetItems({u"Пропан", u"Метан"});
    auto* s4 = make<GStringSelector>(&f, 236, 366, 200, 36);
    s4->SetItems({u"Пропан", u"Метан", u"Этан"});
    s4->SetSelectedIndex(1);
    st.hot = s4;
    label(&f, 16, 404, 420, 24, u"обычный, недоступный; ничего не выбрано, под указателем", kAlignLeft | kAlignMiddle)
        ->SetForeColor(RGB(214, 230, 247));

    heading(&f, 16, 432, 200, u"Список строк");
    auto* sl = make<GStrList>(&f, 16, 460, 200, 126);
    sl->SetFont(kFontSmall);
    sl->SetItems({u"Порог 1", u"Порог 2", u"Аварии", u"Изменения настройки", u"Тренд", u"Счетчики"});
    sl->SetSelectedIndex(1);
    auto* sld = make<GStrList>(&f, 236, 460, 200, 126);
    sld->SetFont(kFontSmall);
    sld->SetItems({u"Недоступный", u"список строк"});
    sld->SetSelectedIndex(0);
    sld->SetEnabled(false);

    heading(&f, 464, 52, 420, u"Список кнопок");
    auto* tb = make<GTxtBtList>(&f, 464, 80, 420, 220);
    tb->AddItem(u"ID:1 - ЛУМА-10 [с/н: 180512]");
    tb->AddItem(u"ID: 5 - неизвестное устройство\n(Отклик: Недопустимая функция)");
    tb->AddItem(u"ID:17 - ЛУМА-10 [с/н: 190033]");
    tb->AddItem(u"ID:31 - ЛУМА-10 [с/н: 200101]");
    tb->AddItem(u"ID:44 - ЛУМА-10 [с/н: 200477]");
    tb->SetSelectedIndex(2);

    heading(&f, 464, 308, 420, u"Прокручиваемая область");
    auto* holder = make<GAntiPanel>(&f, 464, 336, 420, 250);
    auto* box = make<GScrollBox>(holder, 2, 2, 416, 246);
    auto* gases = keep(std::make_unique<GControlsTableExt>(box, 15, 2));
    gases->SetBounds(20, 0, 360, 0);
    gases->FitHeight();
    const char16_t* names[] = {u"Пропан", u"Метан", u"Этан", u"Н-бутан", u"Пентан", u"Гексан", u"Изобутан",
                               u"Изопентан", u"Этилен", u"Пропилен", u"Бензол", u"Гептан", u"Метанол",
                               u"Толуол", u"Оксид этилена"};
    for (int r = 0; r < 15; ++r) {
        gases->Cell(r, 0)->SetText(names[r]);
        gases->Cell(r, 0)->SetFont(kFontSmall);
        auto* in = keep(std::make_unique<GInputDoubleLabel>());
        in->SetValue(r == 0 ? 1.0 : 0.85 + r * 0.031);
        in->SetEditable(r != 0);
        gases->Place(r, 1, in);
    }
    box->SetScrollTop(-84);
}

// ---- dialogs --------------------------------------------------------------------------

struct Dialogs {
    GInpDblForm keypad;
    std::unique_ptr<GMsgBox> msg;
    std::unique_ptr<GSaveFileDialog> save;
    GTabKeyForm menu_host;
    GStringSelector* selector = nullptr;
};

void build_dialogs(Dialogs& d) {
    d.keypad.SetPrompt(u"Концентрация газа, %");
    d.keypad.SetModal(false);
    d.keypad.Start(-1.5e-3);
    d.msg = std::make_unique<GMsgBox>(
        u"Изменение скорости соединения приведёт к потере связи с устройством.\nПродолжить?", kMsgYes | kMsgNo,
        u"Вопрос");
    d.msg->SetModal(false);
    d.save = std::make_unique<GSaveFileDialog>(u"CSV-файл (*.csv)|*.csv|TXT-файл (*.txt)|*.txt");
    d.save->SetModal(false);
    d.save->SetPath(text::u16(plat::current_dir() + "/luma10 log 20261207_101010"));
    gallery_form(d.menu_host, u"Галерея: выпадающий список", 100, 100, 440, 360, u"Выпадающий список");
    d.selector = make<GStringSelector>(&d.menu_host, 80, 60, 280, 36);
    d.selector->SetCaption(u" Скорость ");
    d.selector->SetItems({u"1200", u"2400", u"4800", u"9600", u"19200", u"38400", u"57600", u"115200"});
    d.selector->SetSelectedIndex(3);
}

std::string shot_path(const std::string& base, int n) {
    if (plat::is_dir(base)) return base + "/gallery-" + std::to_string(n) + ".png";
    std::string b = base;
    if (b.size() > 4 && b.compare(b.size() - 4, 4, ".png") == 0) b.resize(b.size() - 4);
    return b + "-" + std::to_string(n) + ".png";
}

bool save(GForm& f, const std::string& base, int n) {
    App::ProcessPending();
    std::string p = shot_path(base, n);
    bool ok = f.RenderToPng(p.c_str());
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", p.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const char* shot = nullptr;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) shot = argv[++i];
    if (shot && !std::getenv("SDL_VIDEODRIVER")) plat::use_offscreen_video();
    GResourcesUser res;
    if (!res.Ok()) {
        std::fprintf(stderr, "uik-gallery: no video driver\n");
        return 1;
    }
    int rc = 0;
    {
        GTabKeyForm basic, inputs;
        States s1, s2;
        build_basic(basic, s1);
        build_inputs(inputs, s2);
        Dialogs d;
        build_dialogs(d);
        if (shot) {
            basic.Show();
            apply_states(basic, s1);
            rc |= !save(basic, shot, 1);
            inputs.Show();
            apply_states(inputs, s2);
            rc |= !save(inputs, shot, 2);
            d.keypad.Show();
            rc |= !save(d.keypad, shot, 3);
            d.msg->SetVisible(true);
            rc |= !save(*d.msg, shot, 4);
            d.save->Show();
            rc |= !save(*d.save, shot, 5);
            d.menu_host.Show();
            App::ProcessPending();
            d.selector->DropDown();
            App::ProcessPending();
            if (GContextMenuForm2* m = d.selector->DroppedMenu()) {
                // The dropped list painted into its host's picture, below the selector.
                auto host = d.menu_host.RenderToBitmap();
                auto menu = m->RenderToBitmap();
                GCanvas c(*host);
                c.DrawBitmap(*menu, 80, 96);
                std::string p = shot_path(shot, 6);
                bool ok = host->SavePng(p.c_str());
                std::printf("%s %s\n", ok ? "wrote" : "FAILED", p.c_str());
                rc |= !ok;
            }
        } else {
            basic.Show();
            inputs.Show();
            d.menu_host.Show();
            App::RunMessageLoop(&basic);
        }
        for (GForm* f : GForm::ShownForms()) f->Close();
        g_keep.clear();
    }
    return rc;
}
