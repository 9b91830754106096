// The save-file dialog, drawn by the toolkit (so it works without a desktop
// environment and in tests): a folder listing to navigate, a field for the
// file name, the list of file types, overwrite confirmation and cancel.
#pragma once

#include <string>
#include <vector>

#include "toolkit/dialogs.h"
#include "toolkit/edit.h"
#include "toolkit/lists.h"

namespace UIK {

// Asks for the name of a file to write. filter holds pairs of a type name and
// its patterns, all separated by "|" ("CSV-файл (*.csv)|*.csv|TXT-файл
// (*.txt)|*.txt"; several patterns of one type are separated by ";").
// path: in, the proposed name (with or without a folder); out, the chosen
// full path, at most kMaxPath characters. filter_index: in and out, the
// chosen type counted from 1. A name typed without an extension gets the
// chosen type's. An existing file is replaced only after the user agrees.
// False when the user cancels.
bool SaveFileDialog(GControl* owner, const ustring_t& filter, ustring_t& path, int& filter_index);

class GSaveFileDialog : public GDialogForm {
public:
    static constexpr size_t kMaxPath = 1024;

    explicit GSaveFileDialog(const ustring_t& filter);
    ~GSaveFileDialog() override;
    // The proposed path: its folder (when it names one that exists) is listed
    // and its file name put into the name field.
    void SetPath(const ustring_t& path);
    void SetFilterIndex(int one_based);
    // Shows the dialog modally; true when a path was accepted.
    bool Run(GControl* place_over);
    ustring_t Path() const { return ustring_t(std::u16string_view(result_)); }
    int FilterIndex() const { return types_.SelectedIndex() + 1; }
    const std::u16string& Folder() const { return folder_; }
    // Lists a folder; false (and the listing unchanged) when it cannot be read.
    bool OpenFolder(const std::u16string& folder);
    // What "Сохранить" does: true when the dialog closed with the typed name.
    bool TryAccept();

    GEdit& NameField() { return name_; }
    GStrList& Listing() { return list_; }
    GStringSelector& Types() { return types_; }
    GTextButton& SaveButton() { return save_; }
    GTextButton& CancelButton() { return cancel_; }

    // The extension (".csv") of a type's first pattern, empty for "*.*" and the like.
    static std::u16string PatternExtension(std::u16string_view patterns);
    static bool MatchesPatterns(std::u16string_view name, std::u16string_view patterns);

private:
    struct Entry {
        std::u16string name;
        bool is_dir;
    };
    void FillListing();
    void ItemChosen(int i);
    std::u16string CurrentPatterns() const;

    std::vector<std::pair<std::u16string, std::u16string>> types_list_;  // name, patterns
    std::u16string folder_, result_;
    std::vector<Entry> entries_;
    GLabel folder_caption_, folder_label_, name_caption_, type_caption_;
    GStrList list_;
    GEdit name_;
    GStringSelector types_;
    GTextButton save_, cancel_;
    bool accepted_ = false;
};

}  // namespace UIK
