// The --plot of a build with the drawing layer: the chart painted by chart/.
#include "cli/trend_plot.h"

#include <cstdio>
#include <future>

#include "cli/command.h"
#include "model/app_state.h"
#include "model/journal_export.h"
#include "model/mb_link.h"
#include "model/trend_chart.h"

#include "chart/trend_plot.h"

namespace cli {

bool plot_available() { return true; }

int plot_unavailable() { return 2; }

int plot_trend(mb_link_t& link, const Array_T<luma::item7_t>& records, const std::string& path) {
    std::promise<void> read;
    link.worker2().Post([&] {
        link.lock_master();
        ParamMap_t& p = G_.params;
        for (mb_param_t* t : {&p.Threshold_Warn, &p.Threshold_Alarm, &p.Threshold_BDSafe, &p.Threshold_Delta})
            link.read_param(*t);
        link.unlock_master();
        read.set_value();
    });
    read.get_future().wait();

    luma::trend_chart_t chart;
    chart.set_samples(records);
    chart.set_thresholds(luma::chart_thresholds_from_params(G_.params));
    if (!plat::ui::AcquireDrawing()) {
        std::fprintf(stderr, "Не удалось нарисовать график: нет библиотеки шрифтов\n");
        return 1;
    }
    std::string png;
    bool drawn;
    {
        auto font = plat::ui::Font::Open(chart::kFontFace, chart::kFontHeight, 0);
        chart::look_t look;
        look.font = font.get();
        drawn = chart::png_bytes(chart, look, &png);
    }
    plat::ui::ReleaseDrawing();
    if (!drawn) {
        std::fprintf(stderr, "Не удалось нарисовать график\n");
        return 1;
    }
    const error_value_t e = luma::write_export_file(path, png);
    if (e) {
        std::fprintf(stderr, "%s\n", text::utf8(luma::export_failure_text(path, e)).c_str());
        return 1;
    }
    return 0;
}

}  // namespace cli
