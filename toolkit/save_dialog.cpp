#include "toolkit/save_dialog.h"

#include <algorithm>

#include "platform/dirs.h"
#include "platform/files.h"
#include "platform/native_ui.h"

namespace UIK {

namespace {

std::string u8(std::u16string_view s) { return text::to_utf8(s); }

std::u16string trim(std::u16string_view s) {
    while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
    return std::u16string(s);
}

std::u16string join(const std::u16string& folder, std::u16string_view name) {
    if (folder.empty() || folder.back() == u'/') return folder + std::u16string(name);
    return folder + u"/" + std::u16string(name);
}

std::u16string parent_of(const std::u16string& p) {
    size_t s = p.find_last_of(u'/');
    if (s == std::u16string::npos) return p;
    return s == 0 ? u"/" : p.substr(0, s);
}

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// Glob with '*' and '?', ASCII letters compared without case.
bool glob(std::u16string_view p, std::u16string_view n) {
    size_t pi = 0, ni = 0, star = std::u16string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || lower(p[pi]) == lower(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u16string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*') ++pi;
    return pi == p.size();
}

std::vector<std::u16string_view> split(std::u16string_view s, char16_t sep) {
    std::vector<std::u16string_view> out;
    size_t start = 0;
    while (true) {
        size_t k = s.find(sep, start);
        out.push_back(s.substr(start, k == s.npos ? s.npos : k - start));
        if (k == s.npos) break;
        start = k + 1;
    }
    return out;
}

std::u16string g_last_folder;  // window thread only: the folder of the last accepted file

}  // namespace

std::u16string GSaveFileDialog::PatternExtension(std::u16string_view patterns) {
    std::u16string first = trim(split(patterns, u';').front());
    size_t dot = first.find_last_of(u'.');
    if (dot == std::u16string::npos || dot + 1 >= first.size()) return {};
    std::u16string ext = first.substr(dot);
    if (ext.find_first_of(u"*?") != std::u16string::npos) return {};
    return ext;
}

bool GSaveFileDialog::MatchesPatterns(std::u16string_view name, std::u16string_view patterns) {
    for (std::u16string_view p : split(patterns, u';')) {
        std::u16string t = trim(p);
        if (t == u"*.*" || t == u"*" || glob(t, name)) return true;
    }
    return false;
}

bool SaveFileDialog(GControl* owner, const ustring_t& filter, ustring_t& path, int& filter_index) {
    // The platform's own dialog where it has one.
    const GForm* form = owner ? owner->Form() : nullptr;
    std::u16string native_path(path.view());
    int native_index = filter_index;
    switch (plat::ui::SaveFileDialog(form && form->HasNativeWindow() ? form->NativeWindowId() : 0,
                                     std::u16string(filter.view()), &native_path, &native_index)) {
    case plat::ui::DialogResult::Accepted:
        path = ustring_t(std::u16string_view(native_path));
        filter_index = native_index;
        return true;
    case plat::ui::DialogResult::Cancelled:
        return false;
    case plat::ui::DialogResult::NotAvailable:
        break;
    }
    GSaveFileDialog d(filter);
    d.SetFilterIndex(filter_index);
    d.SetPath(path);
    if (!d.Run(owner)) return false;
    path = d.Path();
    filter_index = d.FilterIndex();
    return true;
}

GSaveFileDialog::GSaveFileDialog(const ustring_t& filter)
    : folder_caption_(this), folder_label_(this), name_caption_(this), type_caption_(this), list_(this),
      name_(this), types_(this), save_(this), cancel_(this) {
    SetModal(true);
    SetCaption(u"Сохранение файла");
    SetClientSize(560, 404);
    GRect ca = ClientArea();
    int x = ca.left, y = ca.top, w = ca.width;
    folder_caption_.SetBounds(x, y, 70, 28);
    folder_caption_.SetText(u"Папка:");
    folder_label_.SetBounds(x + 72, y, w - 72, 28);
    folder_label_.SetBackColor(kColorMid);
    for (GLabel* l : {&folder_caption_, &folder_label_, &name_caption_, &type_caption_}) l->SetFont(kFontSmall);
    list_.SetBounds(x, y + 32, w, 252);
    list_.SetFont(kFontSmall);
    name_caption_.SetBounds(x, y + 292, 100, 32);
    name_caption_.SetText(u"Имя файла:");
    name_.SetBounds(x + 104, y + 292, w - 104, 32);
    name_.SetMaxLength(kMaxPath);
    type_caption_.SetBounds(x, y + 330, 100, 32);
    type_caption_.SetText(u"Тип файла:");
    types_.SetBounds(x + 104, y + 330, w - 104, 32);
    types_.SetCaption(u"Тип файла");
    save_.SetBounds(ca.Right() - 250, ca.Bottom() - 36, 120, 36);
    save_.SetCaption(u"Сохранить");
    cancel_.SetBounds(ca.Right() - 120, ca.Bottom() - 36, 120, 36);
    cancel_.SetCaption(u"Отмена");
    save_.SetFont(kFontSmall);
    cancel_.SetFont(kFontSmall);

    std::vector<std::u16string_view> parts = split(filter.view(), u'|');
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].empty()) types_list_.emplace_back(parts[i], parts[i + 1]);
    if (types_list_.empty()) types_list_.emplace_back(u"Все файлы (*.*)", u"*.*");
    std::vector<ustring_t> names;
    for (auto& t : types_list_) names.emplace_back(std::u16string_view(t.first));
    types_.SetItems(names);
    types_.SetSelectedIndex(0);

    types_.OnSelectionChanged.Set([this](GControl*) { FillListing(); });
    list_.OnItemClick.Set([this](GControl*, int i) { ItemChosen(i); });
    name_.OnEnter.Set([this](GControl*) { TryAccept(); });
    save_.OnClick.Set([this](GControl*) { TryAccept(); });
    cancel_.OnClick.Set([this](GControl*) { Close(); });
    for (GControl* c : std::initializer_list<GControl*>{&name_, &types_, &list_, &save_, &cancel_})
        AddTabControl(c);
    SetTabIndex(0);
    OpenFolder(g_last_folder.empty() ? text::from_utf8(plat::home_dir()) : g_last_folder);
}

GSaveFileDialog::~GSaveFileDialog() = default;

void GSaveFileDialog::SetFilterIndex(int i) {
    if (i >= 1 && i <= int(types_list_.size())) types_.SetSelectedIndex(i - 1);
}

void GSaveFileDialog::SetPath(const ustring_t& path) {
    std::u16string p(path.view().substr(0, kMaxPath));
    size_t s = p.find_last_of(u'/');
    if (s != std::u16string::npos) {
        std::u16string dir = s == 0 ? u"/" : p.substr(0, s);
        if (plat::is_dir(u8(dir)) && OpenFolder(dir)) p = p.substr(s + 1);
    }
    name_.SetText(p);
}

std::u16string GSaveFileDialog::CurrentPatterns() const {
    int i = types_.SelectedIndex();
    return i >= 0 && i < int(types_list_.size()) ? types_list_[size_t(i)].second : u"*.*";
}

bool GSaveFileDialog::OpenFolder(const std::u16string& folder) {
    if (!plat::is_dir(u8(folder))) return false;
    folder_ = folder;
    folder_label_.SetText(ustring_t(std::u16string_view(u" " + folder_)));
    FillListing();
    return true;
}

void GSaveFileDialog::FillListing() {
    std::vector<plat::DirEntry> raw;
    plat::list_dir(u8(folder_), &raw);
    std::vector<Entry> dirs, files;
    std::u16string pats = CurrentPatterns();
    for (auto& e : raw) {
        if (e.name.empty() || e.name[0] == '.') continue;  // hidden entries
        std::u16string n = text::from_utf8(e.name);
        if (e.is_dir) dirs.push_back({n, true});
        else if (MatchesPatterns(n, pats)) files.push_back({n, false});
    }
    auto by_name = [](const Entry& a, const Entry& b) { return a.name < b.name; };
    std::sort(dirs.begin(), dirs.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    entries_.clear();
    if (folder_ != u"/") entries_.push_back({u"..", true});
    entries_.insert(entries_.end(), dirs.begin(), dirs.end());
    entries_.insert(entries_.end(), files.begin(), files.end());
    std::vector<ustring_t> items;
    for (auto& e : entries_)
        items.emplace_back(std::u16string_view(e.is_dir ? u"[" + e.name + u"]" : u"  " + e.name));
    list_.SetItems(items);
    list_.SetSelectedIndex(-1);
}

void GSaveFileDialog::ItemChosen(int i) {
    if (i < 0 || i >= int(entries_.size())) return;
    Entry e = entries_[size_t(i)];
    if (!e.is_dir) {
        name_.SetText(e.name);
        SetFocus(&name_);
        return;
    }
    OpenFolder(e.name == u".." ? parent_of(folder_) : join(folder_, e.name));
}

bool GSaveFileDialog::TryAccept() {
    std::u16string name = trim(name_.Text());
    if (name.empty()) return false;
    std::u16string full = name[0] == u'/' ? name : join(folder_, name);
    if (plat::is_dir(u8(full))) {
        OpenFolder(full);
        name_.SetText(u"");
        return false;
    }
    std::u16string base = full.substr(full.find_last_of(u'/') + 1);
    if (base.empty()) return false;
    if (base.find(u'.') == std::u16string::npos) full += PatternExtension(CurrentPatterns());
    if (full.size() > kMaxPath) {
        GMsgBox::Show(u"Слишком длинный путь к файлу.", kMsgClose, this, u"Сохранение файла");
        return false;
    }
    std::u16string dir = parent_of(full);
    if (!plat::is_dir(u8(dir))) {
        GMsgBox::Show(ustring_t(std::u16string_view(u"Папка «" + dir + u"» не найдена.")), kMsgClose, this, u"Сохранение файла");
        return false;
    }
    if (plat::file_exists(u8(full)) &&
        !AskYesNo(ustring_t(std::u16string_view(u"Файл «" + full.substr(dir.size() + (dir == u"/" ? 0 : 1)) +
                                                 u"» уже существует.\nЗаменить его?")),
                  this))
        return false;
    result_ = full;
    g_last_folder = dir;
    accepted_ = true;
    Close();
    return true;
}

bool GSaveFileDialog::Run(GControl* place_over) {
    accepted_ = false;
    Execute(place_over);
    return accepted_;
}

}  // namespace UIK
