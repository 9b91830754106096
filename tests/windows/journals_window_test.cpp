// The journals window over the simulated detector on a pty: the preview
// through the record selector, downloads through the window's own path,
// paging, page switching by button and key, and exports through the
// toolkit's save-file dialog.
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "chart/trend_plot.h"
#include "model/journal_export.h"
#include "sim/journals.h"
#include "fixture.h"
#include "tests/scratch.h"
#include "windows/sub_windows.h"
#include "windows/trend_chart.h"
#include "windows/journals_window.h"

using namespace win_test;
using namespace luma;
namespace fs = std::filesystem;

namespace {

// A text as a journal page shows it (tabs as spaces).
std::string screen(const ustring_t& s) { return U8(GJournalPage::ScreenText(s)); }

constexpr int kLimitMs = 20000;

using scratch::slurp;

class JournalsWindow : public WindowTest {
protected:
    // The detector with these journals, the window made and shown, the main
    // window's 100 ms timer driving its periodic update.
    void Open(const sim::Options_t& o, bool connect = true) {
        options_ = o;
        StartLine(o);
        journals_ = std::make_unique<GForm_T<GJournals>>(G_);
        if (connect) {
            ASSERT_TRUE(OpenPort());
        }
        tick_.OnTick.Set([this](UIK::GTimer*) {
            if (journals_->IsVisible()) journals_->Tick();
        });
        tick_.Start();
        journals_->Show();
    }

    void TearDown() override {
        tick_.Stop();
        // Workers first: no download or preview may outlive the window.
        if (link_) {
            link_->close();
            link_->worker1().Stop();
            link_->worker2().Stop();
        }
        journals_.reset();
        WindowTest::TearDown();
    }

    GJournals& W() { return journals_->Window(); }
    static bool until(const std::function<bool()>& pred, int ms = kLimitMs) { return WaitFor(pred, ms); }

    // A detector with n records in its threshold-1 journal.
    static sim::Options_t Threshold1Records(uint32_t n) {
        sim::Options_t o;
        o.records.threshold1 = n;
        return o;
    }

    // The device's record i of a list journal, as the window shows it.
    template <typename Item>
    Item DeviceRecord(sim::Journal_t j, uint32_t i) const {
        const sim::JournalSet_t set(options_.seed, options_.records);
        const sim::ListRecord_t d = set.record(j, i);
        Item r;
        r.number = i;
        r.time = device_time_from_seconds(uint32_t(d.time));
        if constexpr (std::is_same_v<Item, item3_t>) r.code = d.value;
        else r.concentration = d.value;
        return r;
    }

    // The device's counters, as the window shows them.
    counters_t DeviceCounters() const {
        uint32_t c[8];
        sim::JournalSet_t(options_.seed, options_.records).counters(c);
        return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
    }

    // Once the link is up, presses bt_load_ and waits for the hand-over.
    template <int N>
    void Download(GJournal<N>& page) {
        ASSERT_TRUE(until([&] { return G_.is_connected(); }));
        page.LoadOrStop();
        ASSERT_TRUE(page.DownloadPending());
        ASSERT_TRUE(until([&] { return !page.DownloadPending(); }, 60000));
    }

    // An empty folder of this name in the configuration folder.
    static fs::path FreshDir(const char* name) {
        const fs::path dir = fs::path(std::getenv("LUMA10_CONFIG_DIR")) / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        return dir;
    }

    // Exports the page through the toolkit's save dialog, typing path as the
    // name once the dialog is up; returns the name and the file type the
    // dialog proposed.
    template <int N>
    std::pair<std::string, int> ExportAs(GJournal<N>& page, const fs::path& path) {
        std::pair<std::string, int> proposed;
        UIK::GTimer typist(20);
        typist.OnTick.Set([&](UIK::GTimer* t) {
            for (UIK::GForm* f : UIK::GForm::ShownForms()) {
                auto* d = dynamic_cast<UIK::GSaveFileDialog*>(f);
                if (!d) continue;
                t->Stop();
                proposed = {text::to_utf8(d->NameField().Text()), d->FilterIndex()};
                d->NameField().SetText(text::from_utf8(path.string()));
                d->TryAccept();
                return;
            }
        });
        typist.Start();
        page.Export();
        return proposed;
    }

    sim::Options_t options_;
    std::unique_ptr<GForm_T<GJournals>> journals_;
    UIK::GTimer tick_{100};
};

}  // namespace

TEST_F(JournalsWindow, PreviewFollowsTheScrollBarThroughTheRecordSelector) {
    Open(Threshold1Records(12));
    InLoop([&] {
        GJournal<0>& p = W().page0_;
        auto shows = [&](uint32_t i) {
            return U8(p.text_.Text()) == "Всего записей: 12\n\n" +
                                             screen(record_text(DeviceRecord<item1_t>(sim::Journal_t::kThreshold1, i)));
        };
        ASSERT_TRUE(until([&] { return shows(0); })) << U8(p.text_.Text());
        EXPECT_EQ(U8(p.bt_load_.Caption()), "Загрузить весь архив");
        EXPECT_TRUE(p.bt_load_.IsEnabled());
        EXPECT_FALSE(p.bt_export_.IsEnabled());
        EXPECT_EQ(p.sb_.Maximum(), 11);

        p.sb_.SetPosition(5);
        ASSERT_TRUE(until([&] { return shows(5); })) << U8(p.text_.Text());
        // The wheel over the page moves the same bar.
        UIK::GMouseEvent wheel;
        wheel.wheel = -2;
        p.text_.HandleMouseWheel(wheel);
        EXPECT_EQ(p.sb_.Position(), 7);
        ASSERT_TRUE(until([&] { return shows(7); })) << U8(p.text_.Text());

        // The trend page previews the trend the same way.
        W().SelectPage(6);
        GJournal<6>& t = W().page6_;
        ASSERT_TRUE(until([&] { return U8(t.text_.Text()).rfind("Всего записей: 200\n\n1. ", 0) == 0; }))
            << U8(t.text_.Text());

        // The counters page shows the device's counters.
        W().SelectPage(5);
        const counters_t want = DeviceCounters();
        ASSERT_TRUE(until([&] { return U8(W().page5_.text_.Text()) == screen(counters_text(want)); }))
            << U8(W().page5_.text_.Text());
        EXPECT_TRUE(W().page5_.bt_export_.IsEnabled());
        EXPECT_FALSE(W().page5_.bt_load_.IsVisible());
        EXPECT_FALSE(W().page5_.sb_.IsVisible());
    });
}

TEST_F(JournalsWindow, DownloadedRecordsPageByTwentyAlsoAfterTheLinkIsGone) {
    Open(Threshold1Records(45));
    InLoop([&] {
        GJournal<0>& p = W().page0_;
        Download(p);
        ASSERT_TRUE(p.loaded);
        ASSERT_EQ(p.records.count(), 45u);
        for (uint32_t i = 0; i < 45; ++i)
            ASSERT_EQ(p.records[i], DeviceRecord<item1_t>(sim::Journal_t::kThreshold1, i)) << i;
        ASSERT_TRUE(until([&] { return !texts_.info.empty(); }));
        EXPECT_EQ(texts_.info.back().rfind("Журнал загружен за ", 0), 0u) << texts_.info.back();
        EXPECT_EQ(p.progress_.Maximum(), 45);
        EXPECT_EQ(p.progress_.Position(), 45);
        ASSERT_TRUE(until([&] { return p.bt_load_.IsEnabled(); }));
        EXPECT_EQ(U8(p.bt_load_.Caption()), "Повторить загрузку");
        EXPECT_TRUE(p.bt_export_.IsEnabled());
        EXPECT_EQ(p.sb_.Maximum(), 44);

        auto page_text = [&](uint32_t from, uint32_t to) {
            std::string t = "Всего записей: 45\n\n";
            for (uint32_t i = from; i < to; ++i) t += screen(record_text(p.records[i])) + "\n\n";
            return t;
        };
        p.sb_.SetPosition(1);
        p.sb_.SetPosition(0);
        EXPECT_EQ(U8(p.text_.Text()), page_text(0, 20));
        p.sb_.SetPosition(30);
        EXPECT_EQ(U8(p.text_.Text()), page_text(30, 45));
        // The README's picture of the window with a downloaded journal.
        if (const char* dir = std::getenv("LUMA10_SCREENSHOT_DIR")) {
            EXPECT_TRUE(journals_->RenderToPng((fs::path(dir) / "journals-window.png").c_str()));
        }
        EXPECT_EQ(U8(p.text_.Text()).rfind("31. ", std::string::npos) != std::string::npos, true);

        // All twenty records of a page are there to read at the default size:
        // the text is as tall as it needs, and scrolls in its box.
        p.sb_.SetPosition(0);
        UIK::GFont* font = p.text_.Font();
        ASSERT_NE(font, nullptr);
        const int needed = UIK::GCanvas::MeasureText(*font, p.text_.Text().view(), p.text_.Width() - 4, true).y;
        EXPECT_GE(p.text_.Height(), needed + 4);
        EXPECT_GT(p.text_box_.ContentHeight(), p.text_box_.Height());
        p.text_box_.ScrollToEnd();
        EXPECT_EQ(p.text_.Bottom(), p.text_box_.Height());
        // A new page of records starts at its top.
        p.sb_.SetPosition(20);
        EXPECT_EQ(p.text_.Top(), 0);
        p.sb_.SetPosition(30);

        // The link goes: the records stay, page on and export; nothing to
        // load without a device; a page without records says so.
        link_->close();
        p.Refresh(true);
        EXPECT_EQ(U8(p.text_.Text()), page_text(30, 45));
        p.sb_.SetPosition(44);
        EXPECT_EQ(U8(p.text_.Text()), page_text(44, 45));
        EXPECT_FALSE(p.bt_load_.IsEnabled());
        EXPECT_TRUE(p.bt_export_.IsEnabled());
        W().SelectPage(1);
        EXPECT_EQ(U8(W().page1_.text_.Text()), "Нет связи");
        EXPECT_EQ(W().page1_.sb_.Maximum(), 0);
        EXPECT_EQ(W().page1_.sb_.Position(), 0);

        // Pressing load without a connection starts nothing and leaves the
        // page idle, not loading for ever.
        W().page1_.LoadOrStop();
        EXPECT_FALSE(W().page1_.loading.load());
        EXPECT_FALSE(W().page1_.DownloadPending());
        W().page1_.Refresh(true);
        EXPECT_EQ(U8(W().page1_.text_.Text()), "Нет связи");
    });
}

TEST_F(JournalsWindow, AStoppedDownloadSaysHowManyOfHowManyAndContinuesWhereItStopped) {
    sim::Options_t o;
    o.records.alarms = 3000;
    o.records.config = 6;
    Open(o);
    InLoop([&] {
        GJournal<2>& p = W().page2_;
        W().SelectPage(2);
        ASSERT_TRUE(until([&] { return G_.is_connected(); }));
        p.LoadOrStop();
        EXPECT_TRUE(p.loading.load());
        ASSERT_TRUE(until([&] { return p.progress_.Position() >= 3; }));
        p.Refresh(false);
        EXPECT_EQ(U8(p.bt_load_.Caption()), "Остановить загрузку");
        EXPECT_EQ(p.progress_.Maximum(), 3000);
        EXPECT_EQ(U8(p.text_.Text()).rfind("Всего записей: 3000. Загружено:", 0), 0u) << U8(p.text_.Text());

        // A page whose download waits behind this one says so, and can be
        // called off before it begins: it then keeps what it had.
        GJournal<0>& t1 = W().page0_;
        t1.LoadOrStop();
        EXPECT_TRUE(t1.Waiting());
        W().SelectPage(0);
        EXPECT_EQ(U8(t1.bt_load_.Caption()), "Отменить загрузку");
        EXPECT_EQ(U8(t1.text_.Text()), "Загрузка ждёт: сначала загружается другой журнал.");
        EXPECT_EQ(t1.progress_.Maximum(), 0);
        t1.LoadOrStop();
        EXPECT_FALSE(t1.loading.load());

        // A page switch leaves the download running.
        W().SelectPage(4);
        EXPECT_TRUE(p.loading.load());
        W().SelectPage(2);

        // Stop: only the flag changes; the page is neither loaded nor
        // changed until the hand-over.
        const size_t before = p.records.count();
        p.LoadOrStop();
        EXPECT_FALSE(p.loading.load());
        EXPECT_FALSE(p.loaded);
        EXPECT_EQ(p.records.count(), before);
        // Until the stopped download has handed over, a new one cannot start.
        p.Refresh(false);
        if (p.DownloadPending()) {
            EXPECT_FALSE(p.bt_load_.IsEnabled());
            p.LoadOrStop();
            EXPECT_FALSE(p.loading.load());
        }
        ASSERT_TRUE(until([&] { return !p.DownloadPending() && !t1.DownloadPending(); }));
        EXPECT_TRUE(p.loaded);
        const size_t stopped_at = p.records.count();
        EXPECT_GT(stopped_at, 0u);
        EXPECT_LT(stopped_at, 3000u);
        for (uint32_t i = 0; i < stopped_at; ++i)
            ASSERT_EQ(p.records[i], DeviceRecord<item3_t>(sim::Journal_t::kAlarms, i)) << i;
        ASSERT_TRUE(until([&] { return texts_.info.size() >= 2; }));
        EXPECT_EQ(texts_.info[0].rfind("Загрузка журнала прервана через ", 0), 0u) << texts_.info[0];
        EXPECT_EQ(texts_.info[1], "Загрузка журнала отменена до начала");
        EXPECT_FALSE(t1.loaded);
        EXPECT_EQ(t1.records.count(), 0u);

        // Loaded and held, both; the button offers to go on.
        ASSERT_TRUE(until([&] { return p.bt_load_.IsEnabled(); }));
        EXPECT_EQ(U8(p.bt_load_.Caption()), "Продолжить загрузку");
        EXPECT_EQ(U8(p.text_.Text()).rfind("Загружено записей: " + std::to_string(stopped_at) +
                                               " из 3000 (загрузка остановлена)\n\n1. ",
                                           0),
                  0u)
            << U8(p.text_.Text());

        // Continued: the records read before stay, the rest follow them.
        Download(p);
        ASSERT_EQ(p.records.count(), 3000u);
        for (uint32_t i = 0; i < 3000; ++i)
            ASSERT_EQ(p.records[i], DeviceRecord<item3_t>(sim::Journal_t::kAlarms, i)) << i;
        EXPECT_EQ(p.last.first, stopped_at);
        EXPECT_EQ(U8(p.text_.Text()).rfind("Всего записей: 3000\n\n1. ", 0), 0u) << U8(p.text_.Text());
        ASSERT_TRUE(until([&] { return p.bt_load_.IsEnabled(); }));
        EXPECT_EQ(U8(p.bt_load_.Caption()), "Повторить загрузку");

        // Two pages posted one after the other both download in full, while
        // another page is shown.
        W().page4_.LoadOrStop();
        t1.LoadOrStop();
        W().SelectPage(3);
        ASSERT_TRUE(until([&] { return !W().page4_.DownloadPending() && !t1.DownloadPending(); }, 60000));
        EXPECT_EQ(W().page4_.records.count(), 6u);
        EXPECT_EQ(t1.records.count(), 50u);
    });
}

TEST_F(JournalsWindow, RecordsReadBeforeTheLineWasLostExportMarkedIncomplete) {
    sim::Options_t o = Threshold1Records(3000);
    // The line goes after the start and some hundred records.
    o.drop_after = 250;
    Open(o);
    const fs::path dir = FreshDir("partial");
    InLoop([&] {
        GJournal<0>& p = W().page0_;
        Download(p);
        const size_t read = p.records.count();
        ASSERT_GT(read, 0u);
        ASSERT_LT(read, 3000u);
        EXPECT_TRUE(p.last.error.is_error());
        ASSERT_TRUE(until([&] { return !G_.is_connected(); }));
        p.Refresh(true);
        EXPECT_EQ(U8(p.text_.Text()).rfind("Загружено записей: " + std::to_string(read) +
                                               " из 3000 (загрузка прервана ошибкой)\n\n1. ",
                                           0),
                  0u)
            << U8(p.text_.Text());
        ASSERT_TRUE(p.bt_export_.IsEnabled());

        // The same bytes luma10ctl journal --partial writes, and the panel
        // says the file is not the whole journal.
        const fs::path file = dir / "t1.csv";
        ASSERT_FALSE(p.ExportTo(text::u16(file.string())));
        EXPECT_EQ(slurp(file), export_bytes(p.records, export_format::csv));
        ASSERT_TRUE(until([&] { return !texts_.info.empty(); }));
        EXPECT_EQ(texts_.info.back(), "В файл записан неполный журнал: " + std::to_string(read) + " из 3000 записей\n" +
                                          file.string());
    });
}

TEST_F(JournalsWindow, PreviewShowsNumberTimeAndValuesOfOneReadWhileTheBarMoves) {
    sim::Options_t o = Threshold1Records(3000);
    // Real wire times: a poll cycle takes long enough to be caught in.
    o.line_timing = true;
    Open(o);
    InLoop([&] {
        GJournal<0>& p = W().page0_;
        const std::string head = "Всего записей: 3000\n\n";
        auto shown = [&] { return U8(p.text_.Text()); };
        auto record_at = [&](uint32_t i) {
            return head + screen(record_text(DeviceRecord<item1_t>(sim::Journal_t::kThreshold1, i)));
        };
        // Whatever the page shows is one record of the device, whole.
        std::vector<std::string> mixed;
        auto check = [&] {
            p.Refresh(false);
            const std::string t = shown();
            if (t.rfind(head, 0) != 0) return;
            const unsigned number = unsigned(std::strtoul(t.c_str() + head.size(), nullptr, 10));
            if (number == 0 || number > 3000 || t != record_at(number - 1)) mixed.push_back(t);
        };
        ASSERT_TRUE(until([&] {
            check();
            return shown() == record_at(0);
        })) << shown();
        // A track click, a drag, a wheel turn.
        for (uint32_t at : {2980u, 2999u, 2501u, 1u, 1500u, 1502u}) {
            p.sb_.SetPosition(at);
            ASSERT_TRUE(until([&] {
                check();
                return shown() == record_at(at);
            })) << shown();
        }
        EXPECT_TRUE(mixed.empty()) << mixed.size() << " mixed, first: " << mixed.front();
    });
}

TEST_F(JournalsWindow, PageButtonsAndCtrlTabSwitchPagesOtherKeysGoToTheFormsHandler) {
    Open(sim::Options_t{}, /*connect=*/false);
    InLoop([&] {
        GJournals& w = W();
        EXPECT_EQ(w.CurrentPage(), 0);
        EXPECT_TRUE(w.page0_.IsVisible());
        EXPECT_FALSE(w.page6_.IsVisible());
        // The poll cycle and one preview task: a page switch replaces it.
        EXPECT_NE(w.PreviewTask(), nullptr);
        EXPECT_EQ(link_->worker1().PeriodicCount(), 2u);

        w.PageButton(3).PerformClick();
        UIK::App::ProcessPending();
        EXPECT_EQ(w.CurrentPage(), 3);
        EXPECT_TRUE(w.page3_.IsVisible());
        EXPECT_FALSE(w.page0_.IsVisible());
        EXPECT_EQ(link_->worker1().PeriodicCount(), 2u);
        // The button that is down does nothing.
        const ITask* task = w.PreviewTask();
        w.PageButton(3).PerformClick();
        UIK::App::ProcessPending();
        EXPECT_EQ(w.PreviewTask(), task);
        EXPECT_EQ(link_->worker1().PeriodicCount(), 2u);

        w.SelectPage(0);
        journals_->HandleFormKey(UIK::GKeyEvent{UIK::kKeyTab, UIK::kModCtrl | UIK::kModShift});
        UIK::App::ProcessPending();
        EXPECT_EQ(w.CurrentPage(), 6);
        EXPECT_TRUE(w.page6_.IsVisible());
        journals_->HandleFormKey(UIK::GKeyEvent{UIK::kKeyTab, UIK::kModCtrl});
        UIK::App::ProcessPending();
        EXPECT_EQ(w.CurrentPage(), 0);
        journals_->HandleFormKey(UIK::GKeyEvent{UIK::kKeyTab, UIK::kModCtrl});
        UIK::App::ProcessPending();
        EXPECT_EQ(w.CurrentPage(), 1);
        EXPECT_EQ(U8(w.page1_.text_.Text()), "Нет связи");

        // Hidden and shown again: the form's own handler saved before the
        // window installed its own gets the other keys, and the page-switch
        // handler is not stacked twice.
        journals_->Hide();
        int other_keys = 0;
        journals_->OnFormKey.Set([&](UIK::GForm*, const UIK::GKeyEvent& e) { other_keys += e.key == 'a'; });
        journals_->Show();
        journals_->HandleFormKey(UIK::GKeyEvent{'a', 0});
        EXPECT_EQ(other_keys, 1);
        journals_->HandleFormKey(UIK::GKeyEvent{UIK::kKeyTab, UIK::kModCtrl});
        UIK::App::ProcessPending();
        EXPECT_EQ(w.CurrentPage(), 2);
        EXPECT_EQ(other_keys, 1);
    });
}

TEST_F(JournalsWindow, ExportsThroughTheSaveDialogToThePathAsTypedByItsExtension) {
    Open(Threshold1Records(7));
    const fs::path dir = FreshDir("Журналы");
    InLoop([&] {
        GJournal<0>& p = W().page0_;
        Download(p);
        ASSERT_EQ(p.records.count(), 7u);
        ASSERT_TRUE(until([&] { return p.bt_export_.IsEnabled(); }));

        const std::string proposed = ExportAs(p, dir / "Отчёт.CSV").first;
        EXPECT_EQ(proposed.rfind("luma10 log ", 0), 0u) << proposed;
        EXPECT_EQ(proposed.size(), std::string("luma10 log 20261208_060000").size()) << proposed;
        EXPECT_EQ(slurp(dir / "Отчёт.CSV"), export_bytes(p.records, export_format::csv));
        EXPECT_FALSE(fs::exists(dir / "отчёт.csv"));

        ExportAs(p, dir / "Отчёт.dat");
        EXPECT_EQ(slurp(dir / "Отчёт.dat"), export_bytes(p.records, export_format::text));
        EXPECT_TRUE(texts_.errors.empty());

        // The counters export the values as they stand, the device's.
        W().SelectPage(5);
        const counters_t want = DeviceCounters();
        ASSERT_TRUE(until([&] { return W().page5_.bt_export_.IsEnabled() && counters_from_params(G_.params) == want; }));
        ASSERT_FALSE(W().page5_.ExportTo(text::u16((dir / "c.txt").string())));
        EXPECT_EQ(slurp(dir / "c.txt"), export_bytes(want, export_format::text));
    });
}

TEST_F(JournalsWindow, AFailedExportIsReportedAndLeavesNoPartialFile) {
    Open(sim::Options_t{}, /*connect=*/false);
    const fs::path dir = FreshDir("export-fail");
    fs::create_directories(dir / "taken.csv");  // a folder where the file should go
    fs::create_directories(dir / "locked");
    std::ofstream(dir / "locked" / "old.csv") << "old";
    ::chmod((dir / "locked").c_str(), 0555);
    InLoop([&] {
        GJournal<0>& p = W().page0_;
        p.records.append(item1_t{0, {26, 3, 12, 15, 30, 59}, 123});
        p.loaded = true;

        const error_value_t e = p.ExportTo(text::u16((dir / "taken.csv").string()));
        ASSERT_TRUE(e.is_error());
        EXPECT_EQ(e.category, &export_category());
        ASSERT_TRUE(until([&] { return texts_.errors.size() == 1; }));
        EXPECT_NE(texts_.errors[0].find("(Экспорт журнала. "), std::string::npos) << texts_.errors[0];
        EXPECT_NE(texts_.errors[0].find("taken.csv"), std::string::npos) << texts_.errors[0];
        size_t entries = 0;
        for (const auto& entry : fs::directory_iterator(dir)) entries += entry.path().filename() != "locked";
        EXPECT_EQ(entries, 1u);
        EXPECT_TRUE(fs::is_directory(dir / "taken.csv"));

        // A folder the user may not write into (not enforced for root): the
        // old file stays as it was.
        const error_value_t locked = p.ExportTo(text::u16((dir / "locked" / "old.csv").string()));
        if (locked.is_error()) {
            EXPECT_EQ(slurp(dir / "locked" / "old.csv"), "old");
            ASSERT_TRUE(until([&] { return texts_.errors.size() == 2; }));
        }
    });
    ::chmod((dir / "locked").c_str(), 0755);
}

TEST_F(JournalsWindow, TheTrendPageShowsTheDownloadedDayAsAChartReadOutZoomedAndExported) {
    sim::Options_t o;
    o.records.trend_day = true;
    o.records.trend = 1440;
    Open(o);
    const fs::path dir = FreshDir("chart");
    InLoop([&] {
        W().SelectPage(6);
        GJournal<6>& p = W().page6_;
        GTrendChartPage& chart = W().TrendChart();
        Download(p);
        ASSERT_EQ(p.records.count(), 1440u);

        // Exported beside CSV and text, also from the text view: a PNG of
        // the file's size, of the records downloaded.
        ASSERT_FALSE(p.ExportTo(text::u16((dir / "Тренд.PNG").string())));
        const std::string png = slurp(dir / "Тренд.PNG");
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        auto be32 = [&](size_t at) {
            return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                   uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
        };
        EXPECT_EQ(be32(16), uint32_t(chart::kFileWidth));
        EXPECT_EQ(be32(20), uint32_t(chart::kFileHeight));
        EXPECT_EQ(chart.View().Chart().sample_count(), 1440u);
        ASSERT_FALSE(p.ExportTo(text::u16((dir / "Тренд.csv").string())));
        EXPECT_EQ(slurp(dir / "Тренд.csv"), export_bytes(p.records, export_format::csv));

        chart.ChartButton().PerformClick();
        ASSERT_TRUE(until([&] { return chart.ChartShown(); }));
        GTrendChartView& view = chart.View();
        EXPECT_TRUE(view.IsShownThroughParents());
        EXPECT_FALSE(p.GAntiPanel1.IsVisible());
        EXPECT_FALSE(p.sb_.IsVisible());
        ASSERT_EQ(view.Chart().sample_count(), 1440u);
        // The thresholds are read from the device when the chart is shown.
        ASSERT_TRUE(until([&] { return view.Chart().thresholds().has_warn; }));
        EXPECT_EQ(view.Chart().thresholds().warn, 20);

        // The chart's look, which luma10ctl --plot draws with too, is the
        // toolkit's: its palette, the text page's anti-panel, its small font.
        const chart::look_t look;
        EXPECT_EQ(look.grid, UIK::kColorDark.Argb());
        EXPECT_EQ(look.frame, UIK::kColorLight.Argb());
        EXPECT_EQ(look.text, UIK::kColorText.Argb());
        UIK::GBitmap* panel = UIK::GResources::Skin(UIK::bmpAntipanelSkin);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(look.border, panel->Pixel(0, 0).Argb());
        EXPECT_EQ(look.background, panel->Pixel(panel->Width() / 2, panel->Height() / 2).Argb());
        auto own_font = plat::ui::Font::Open(chart::kFontFace, chart::kFontHeight, 0);
        ASSERT_TRUE(own_font && UIK::GResources::Font(2));
        EXPECT_EQ(own_font->File(), UIK::GResources::Font(2)->font().File());
        EXPECT_EQ(own_font->LineHeight(), UIK::GResources::Font(2)->LineHeight());

        // Drawn: the concentration curve and the threshold-1 line in their
        // colours inside the chart.
        auto bmp = journals_->RenderToBitmap();
        const UIK::GRect r = view.FormRect();
        const luma::trend_chart_t& c = view.Chart();
        int curve = 0;
        for (int x = c.plot_left(); x < c.plot_left() + c.plot_width(); ++x)
            for (int y = c.plot_top(); y < c.plot_top() + c.plot_height(); ++y)
                curve += bmp->Pixel(r.left + x, r.top + y).Argb() == look.concentration;
        EXPECT_GT(curve, c.plot_width());
        const int warn_y = r.top + int(std::lround(c.y_of_conc(20)));
        EXPECT_EQ(bmp->Pixel(r.left + c.plot_left() + c.plot_width() - 2, warn_y).Argb(), look.warn);

        // The pointer over the chart reads out the sample under it.
        UIK::GMouseEvent move;
        move.x = c.plot_left() + c.plot_width() / 2;
        move.y = c.plot_top() + 10;
        view.HandleMouseMove(move);
        ASSERT_TRUE(view.Hover().found);
        const luma::item7_t& under = p.records[view.Hover().index];
        EXPECT_EQ(view.Hover().time, under.time);
        EXPECT_NEAR(double(view.Hover().index), 720.0, 2.0);
        if (const char* shots = std::getenv("LUMA10_SCREENSHOT_DIR")) {
            EXPECT_TRUE(journals_->RenderToPng((fs::path(shots) / "journals-trend-chart.png").c_str()));
        }

        // The wheel zooms around the pointer; Home shows all again.
        const double t = c.time_at(move.x);
        UIK::GMouseEvent wheel = move;
        wheel.wheel = 3;
        view.HandleMouseWheel(wheel);
        EXPECT_LT(c.view_end() - c.view_begin(), 1439 * 60.0 / 1.9);
        EXPECT_NEAR(c.time_at(move.x), t, 60);
        UIK::GKeyEvent home;
        home.key = UIK::kKeyHome;
        view.HandleKeyDown(home);
        EXPECT_EQ(c.view_end() - c.view_begin(), 1439 * 60.0);

        // With the chart shown the save dialog proposes the picture: a name
        // typed without an extension is saved as a PNG.
        const auto [proposed, type] = ExportAs(p, dir / "Сутки");
        EXPECT_EQ(proposed.substr(proposed.size() - 4), ".png") << proposed;
        EXPECT_EQ(type, 3);
        EXPECT_EQ(slurp(dir / "Сутки.png").find("PNG"), 1u);

        // Back to the text pages.
        chart.TextButton().PerformClick();
        ASSERT_TRUE(until([&] { return !chart.ChartShown(); }));
        EXPECT_TRUE(p.GAntiPanel1.IsVisible());
        EXPECT_FALSE(view.IsVisible());
    });
}
