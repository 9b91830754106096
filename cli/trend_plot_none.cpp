// The --plot of a build without the drawing layer (LUMA_GUI off): it says so.
#include "cli/trend_plot.h"

#include <cstdio>

namespace cli {

bool plot_available() { return false; }

int plot_unavailable() {
    std::fprintf(stderr,
                 "luma10ctl: график (--plot) недоступен: программа собрана без графической части "
                 "(LUMA_GUI=OFF)\n");
    return 2;
}

int plot_trend(mb_link_t&, const Array_T<luma::item7_t>&, const std::string&) { return plot_unavailable(); }

}  // namespace cli
