// The trend journal as a chart in the journals window.
//
// GTrendChartView is the chart control: it paints the chart model
// (model/trend_chart.h) through the chart painting luma10ctl --plot uses
// (chart/trend_plot.h), in the toolkit's small font. The wheel zooms around
// the pointer, a drag with the left button pans, the keys + and - zoom, the
// arrows pan and Home shows everything; the time, concentration and
// temperature of the sample nearest the pointer are read out at the top.
//
// GTrendChartPage adds it to the trend page: a switch "Текст" / "График"
// beside the progress bar, the chart in place of the record text and its
// scroll bar, and a PNG export beside the CSV and text ones. The chart shows
// the downloaded records; the thresholds come from the parameter map (read
// once when the chart is shown, and by the thresholds window's reader while
// the program runs). Window thread only.
#pragma once

#include <string>

#include "model/trend_chart.h"
#include "toolkit/uik.h"

class G_t;
class GJournalPage;
template <int N>
class GJournal;

class GTrendChartView : public UIK::GControl {
public:
    explicit GTrendChartView(UIK::GControl* parent = nullptr);

    luma::trend_chart_t& Chart() { return chart_; }
    const luma::chart_hit_t& Hover() const { return hover_; }
    // New samples: the whole trend is shown.
    template <typename Array>
    void SetRecords(const Array& records) {
        chart_.set_samples(records);
        hover_ = {};
        Invalidate();
    }
    void SetThresholds(const luma::chart_thresholds_t& t);
    // Shown in place of the chart while it has no samples.
    void SetEmptyNote(const std::string& utf8);
    // The chart as a PNG file's bytes, the range shown at the file's size.
    bool PngBytes(std::string* out) const;

    void Paint(UIK::GCanvas& c) override;
    void HandleMouseDown(const UIK::GMouseEvent& e) override;
    void HandleMouseUp(const UIK::GMouseEvent& e) override;
    void HandleMouseMove(const UIK::GMouseEvent& e) override;
    void HandleMouseLeave() override;
    void HandleMouseWheel(const UIK::GMouseEvent& e) override;
    void HandleKeyDown(const UIK::GKeyEvent& e) override;
    bool AcceptsFocus() const override { return true; }

private:
    void UpdateHover(int x);

    luma::trend_chart_t chart_;
    luma::chart_hit_t hover_;
    std::string empty_note_;
    bool dragging_ = false;
    int drag_x_ = 0;
    int pointer_x_ = -1;
};

class GTrendChartPage {
public:
    GTrendChartPage(G_t& g, GJournal<6>& page);
    ~GTrendChartPage();
    GTrendChartPage(const GTrendChartPage&) = delete;
    GTrendChartPage& operator=(const GTrendChartPage&) = delete;

    bool ChartShown() const { return chart_shown_; }
    void ShowChart(bool on);
    GTrendChartView& View() { return view_; }
    UIK::GTextButton& TextButton() { return bt_text_; }
    UIK::GTextButton& ChartButton() { return bt_chart_; }
    // The main window's timer: the thresholds as they stand.
    void Tick();

private:
    // The page's records, taken again after every hand-over.
    void TakeRecords();

    G_t& g_;
    GJournal<6>& page_;
    UIK::GTextButton bt_text_, bt_chart_;
    GTrendChartView view_;
    bool chart_shown_ = false;
    // The page's records changed while the chart was hidden.
    bool stale_ = true;
};
