// The message box, the yes/no question and the save-file dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/scratch.h"
#include "uik2_helpers.h"

using namespace UIK;
using uik2_test::PushClick;
using uik2_test::PushKeys;
using uik2_test::WhenShown;

namespace fs = std::filesystem;

TEST(MsgBox, ButtonsInFlagOrderAndTheResultIsTheFlagPressed) {
    GMsgBox box(u"Текст", kMsgYes | kMsgNo | kMsgClose | kMsgContinue);
    const char16_t* captions[] = {u"Закрыть", u"Нет", u"Да", u"Продолжить"};
    unsigned flags[] = {kMsgClose, kMsgNo, kMsgYes, kMsgContinue};
    int prev_left = -1;
    for (int i = 0; i < 4; ++i) {
        GTextButton* b = box.Button(flags[i]);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Caption(), captions[i]);
        EXPECT_GT(b->Left(), prev_left) << "made left to right in flag order";
        prev_left = b->Left();
    }
    for (unsigned f : flags) {
        WhenShown<GMsgBox>([f](GMsgBox& m) { PushClick(m, *m.Button(f)); });
        EXPECT_EQ(GMsgBox::Show(u"Вопрос?", kMsgYes | kMsgNo | kMsgClose | kMsgContinue), int(f));
    }
    // Escape (the close button) gives no flag.
    WhenShown<GMsgBox>([](GMsgBox& m) { PushKeys(m, {kKeyEscape}); });
    EXPECT_EQ(GMsgBox::Show(u"Только закрыть", kMsgClose), 0);
    EXPECT_EQ(GMsgBox(u"x", kMsgClose).Button(kMsgYes), nullptr);
}

TEST(MsgBox, AskYesNoIsTrueOnlyForYes) {
    WhenShown<GMsgBox>([](GMsgBox& m) { PushClick(m, *m.Button(kMsgYes)); });
    EXPECT_TRUE(AskYesNo(u"Продолжить?"));
    WhenShown<GMsgBox>([](GMsgBox& m) { PushClick(m, *m.Button(kMsgNo)); });
    EXPECT_FALSE(AskYesNo(u"Продолжить?"));
    WhenShown<GMsgBox>([](GMsgBox& m) { PushKeys(m, {kKeyEscape}); });
    EXPECT_FALSE(AskYesNo(u"Продолжить?"));

    // Centred on a point and kept inside the area.
    GRect area{0, 0, 1024, 768};
    EXPECT_EQ(PlaceCentredAt({500, 400}, 200, 100, area), (GRect{400, 350, 200, 100}));
    EXPECT_EQ(PlaceCentredAt({1020, 5}, 200, 100, area), (GRect{824, 0, 200, 100}));
}

class SaveDialog : public scratch::Test {
protected:
    SaveDialog() : scratch::Test("uik2_save") {}
    void SetUp() override {
        scratch::Test::SetUp();
        fs::create_directories(dir_ / "папка");
    }
    ustring_t Start(const char* name) const { return text::u16((dir_ / name).string()); }
};

TEST_F(SaveDialog, TypedNameGetsTheFiltersExtension) {
    const ustring_t filter = u"CSV-файл (*.csv)|*.csv|TXT-файл (*.txt)|*.txt";
    WhenShown<GSaveFileDialog>([](GSaveFileDialog& d) {
        d.NameField().SetText(u"");
        plat::ui::PushText(d.NativeWindowId(), u"отчёт");
        PushKeys(d, {kKeyEnter});
    });
    ustring_t path = Start("luma10 log 20261207_101010");
    int index = 1;
    ASSERT_TRUE(SaveFileDialog(nullptr, filter, path, index));
    EXPECT_EQ(text::utf8(path), (dir_ / "отчёт.csv").string());
    EXPECT_EQ(index, 1);

    // The second type gives ".txt"; a typed extension is kept.
    WhenShown<GSaveFileDialog>([](GSaveFileDialog& d) {
        d.Types().SetSelectedIndex(1);
        PushClick(d, d.SaveButton());
    });
    path = Start("журнал");
    ASSERT_TRUE(SaveFileDialog(nullptr, filter, path, index));
    EXPECT_EQ(text::utf8(path), (dir_ / "журнал.txt").string());
    EXPECT_EQ(index, 2);
    path = Start("data.dat");
    WhenShown<GSaveFileDialog>([](GSaveFileDialog& d) { PushClick(d, d.SaveButton()); });
    ASSERT_TRUE(SaveFileDialog(nullptr, filter, path, index));
    EXPECT_EQ(text::utf8(path), (dir_ / "data.dat").string());
}

TEST_F(SaveDialog, OverwriteAsksAndCancelReturnsFalse) {
    std::ofstream(dir_ / "old.csv") << "x";
    const ustring_t filter = u"CSV-файл (*.csv)|*.csv";
    // "Нет" keeps the dialog open; then Cancel leaves it.
    bool asked = false;
    WhenShown<GSaveFileDialog>([&](GSaveFileDialog& d) {
        // The listing shows the folder and the matching file.
        EXPECT_EQ(d.Listing().Count(), 3);  // "..", [папка], old.csv
        WhenShown<GMsgBox>([&](GMsgBox& m) {
            asked = true;
            EXPECT_NE(std::u16string(m.Text().view()).find(u"old.csv"), std::u16string::npos);
            PushClick(m, *m.Button(kMsgNo));
            WhenShown<GSaveFileDialog>([](GSaveFileDialog& d2) { PushClick(d2, d2.CancelButton()); });
        });
        PushClick(d, d.SaveButton());
    });
    ustring_t path = Start("old");
    int index = 1;
    EXPECT_FALSE(SaveFileDialog(nullptr, filter, path, index));
    EXPECT_TRUE(asked);
    EXPECT_EQ(text::utf8(path), (dir_ / "old").string()) << "unchanged on cancel";

    // "Да" replaces.
    WhenShown<GSaveFileDialog>([](GSaveFileDialog& d) {
        WhenShown<GMsgBox>([](GMsgBox& m) { PushClick(m, *m.Button(kMsgYes)); });
        PushKeys(d, {kKeyEnter});
    });
    ASSERT_TRUE(SaveFileDialog(nullptr, filter, path, index));
    EXPECT_EQ(text::utf8(path), (dir_ / "old.csv").string());

    // Escape cancels.
    WhenShown<GSaveFileDialog>([](GSaveFileDialog& d) { PushKeys(d, {kKeyEscape}); });
    EXPECT_FALSE(SaveFileDialog(nullptr, filter, path, index));
}

TEST_F(SaveDialog, FolderNavigationAndPatterns) {
    GSaveFileDialog d(u"Все (*.*)|*.*");
    ASSERT_TRUE(d.OpenFolder(text::from_utf8(dir_.string())));
    d.Listing().OnItemClick(&d.Listing(), 1);  // [папка]
    EXPECT_EQ(text::to_utf8(d.Folder()), (dir_ / "папка").string());
    d.Listing().OnItemClick(&d.Listing(), 0);  // ..
    EXPECT_EQ(text::to_utf8(d.Folder()), dir_.string());
    EXPECT_EQ(GSaveFileDialog::PatternExtension(u"*.csv;*.txt"), u".csv");
    EXPECT_EQ(GSaveFileDialog::PatternExtension(u"*.*"), u"");
    EXPECT_TRUE(GSaveFileDialog::MatchesPatterns(u"A.CSV", u"*.txt;*.csv"));
    EXPECT_FALSE(GSaveFileDialog::MatchesPatterns(u"a.csv.bak", u"*.csv"));
}

// The proposed name can be selected whole (Ctrl+A, Shift+Home) and is then
// replaced by what is typed, not extended.
TEST_F(SaveDialog, SelectingTheProposedNameLetsTypingReplaceIt) {
    const ustring_t filter = u"CSV-файл (*.csv)|*.csv";
    struct Way {
        int key;
        uint32_t mods;
    };
    for (const Way w : {Way{'a', plat::ui::kModCtrl}, Way{kKeyHome, plat::ui::kModShift}}) {
        SCOPED_TRACE(w.key);
        WhenShown<GSaveFileDialog>([w](GSaveFileDialog& d) {
            plat::ui::PushKey(d.NativeWindowId(), w.key, w.mods);
            plat::ui::PushText(d.NativeWindowId(), u"новый");
            PushKeys(d, {kKeyEnter});
        });
        ustring_t path = Start("luma10 log 20261207_101010");
        int index = 1;
        ASSERT_TRUE(SaveFileDialog(nullptr, filter, path, index));
        EXPECT_EQ(text::utf8(path), (dir_ / "новый.csv").string());
    }
    // A part selected with Shift and the arrows goes with Backspace; a move
    // without Shift drops the selection.
    GEdit e;
    e.SetText(u"журнал.csv");
    e.HandleKeyDown({kKeyLeft, plat::ui::kModShift});
    e.HandleKeyDown({kKeyLeft, plat::ui::kModShift});
    e.HandleKeyDown({kKeyLeft, plat::ui::kModShift});
    e.HandleKeyDown({kKeyLeft, plat::ui::kModShift});
    e.HandleKeyDown({kKeyBackspace, 0});
    EXPECT_EQ(e.Text(), u"журнал");
    e.HandleKeyDown({kKeyHome, plat::ui::kModShift});
    e.HandleKeyDown({kKeyEnd, 0});
    e.HandleText(u"2");
    EXPECT_EQ(e.Text(), u"журнал2");
}
