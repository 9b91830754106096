#include "windows/select_gas_window.h"

#include <cfloat>

#include "model/app_state.h"
#include "platform/time.h"
#include "procedures/settings_procedures.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr uint32_t kErrorShowMs = 10000;
constexpr int kTableInset = 40;

// Releases a hold at once: the next refresh may set the control again.
void Release(G_t& g, const void* key) { g.hold(key, 0, plat::tick32() - 1); }

}  // namespace

GBaseSelectGas::GBaseSelectGas() {
    SetName(u"GSelectGas");
    SetBounds(0, 0, kWidth, kHeight);
    layout::Label(title_, *this, u"title_", u"Выбор газа для пропанового оптического датчика", 128, 0, 312, 48);
    title_.SetWordWrap(true);
    Place(list_, *this, u"list_", 440, 0, 200, 48);
    list_.SetFont(kFontSmall);
    layout::Label(GLabel1, *this, u"GLabel1", u"Коэффициенты коррекции", 0, 66, 640, 26);
    GLabel1.SetWordWrap(true);
    Place(GAntiPanel1, *this, u"GAntiPanel1", 0, 96, 640, 304);
    Place(box_, GAntiPanel1, u"box_", 2, 2, 634, 298);
    bt_ss_enable_.Place(*this, 0, 0);
}

GSelectGas::GSelectGas(G_t& g) : g_(g) {
    table_ = std::make_unique<GControlsTableExt>(&box_, int(codes::kGasCount), 2);
    table_->SetName(u"coefficients_");
    table_->SetBounds(kTableInset, 0, box_.Width() - 2 * kTableInset, 10);
    table_->FitHeight();
    std::vector<ustring_t> names;
    for (size_t i = 0; i < codes::kGasCount; ++i) {
        const ustring_t name(codes::GasTableB(i).name);
        names.push_back(name);
        table_->Cell(int(i), 0)->SetText(name);
        auto in = std::make_unique<GInputDoubleLabel>();
        in->SetDisplayFormat(u" %.3lf");
        in->SetTag(intptr_t(i));
        in->SetPrompt(name);
        table_->Place(int(i), 1, in.get());
        if (i == 0) {
            in->SetValue(1.0);
            in->SetEditable(false);
        } else {
            in->SetRange(0.0, double(FLT_MAX));
            in->OnValueEntered.Bind(this, &GSelectGas::OnFilter);
            in->OnValueAccepted.Bind(this, &GSelectGas::OnAccepted);
        }
        inputs_[i] = std::move(in);
    }
    list_.SetItems(names);
    list_.OnSelectionChanged.Set([this](GControl*) { SelectGas(list_.SelectedIndex()); });
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
    box_.UpdateScroll();
}

// The inputs go before the table that holds their cells.
GSelectGas::~GSelectGas() {
    for (auto& in : inputs_) in.reset();
}

std::vector<GControl*> GSelectGas::InputControls() {
    std::vector<GControl*> v{&list_};
    for (size_t i = 1; i < codes::kGasCount; ++i) v.push_back(inputs_[i].get());
    return v;
}

bool GSelectGas::CoefficientPresent(size_t index) const { return GasCoefficientPresent(g_.params, index); }

void GSelectGas::SelectGas(int index) {
    if (updating_ > 0 || index < 0 || size_t(index) >= codes::kGasCount) return;
    if (index == 0) {
        SetParamAndSave(g_, g_.params.mipex_work_gas, 0);
    } else if (CoefficientPresent(size_t(index))) {
        g_.hold(&list_, kHoldMs);
        SetParamAndSave(g_, g_.params.mipex_work_gas, uint16_t(index));
    } else {
        g_.error_message(kErrorShowMs, GasRefusalText(size_t(index)));
        Release(g_, &list_);
        Refresh();
    }
}

// A coefficient must be a number of at least 0 that the device's float holds;
// anything else puts the present value back and writes nothing.
void GSelectGas::OnFilter(GControl* c, double& v) {
    if (updating_ > 0) return;
    if (!ValidCoefficient(v)) {
        v = static_cast<GInputDoubleLabel*>(c)->Value();
        refused_ = true;
    }
}

void GSelectGas::OnAccepted(GControl* c, double v) {
    if (updating_ > 0) return;
    if (refused_) {
        refused_ = false;
        return;
    }
    const intptr_t i = static_cast<GInputDoubleLabel*>(c)->Tag();
    const mb_param_t* p = g_.params.coeffs_gas(int(i));
    if (!p) return;
    g_.hold(c, kHoldMs);
    SetParamAndSave(g_, *p, ParamValueFromFloat(float(v)));
}

void GSelectGas::Refresh() {
    ++updating_;
    const bool connected = g_.is_connected();
    const bool on = g_.adjustment_mode_on();
    table_->SetEnabled(on);
    list_.SetEnabled(on);
    const param_snapshot_t gas = g_.params.mipex_work_gas.snapshot();
    if (connected && gas.is_read()) {
        if (g_.can_update_control(&list_)) {
            list_.SetOffListText(codes::GasNameText(gas.u16()));
            list_.SetSelectedIndex(int(gas.u16()));
        }
    } else {
        list_.SetSelectedIndex(0);
    }
    for (size_t i = 1; i < codes::kGasCount; ++i) {
        ustring_t item(codes::GasTableB(i).name);
        if (!CoefficientPresent(i)) item += u" (нет калибровки)";
        if (list_.Item(int(i)) != item) list_.SetItem(int(i), item);
        GInputDoubleLabel* in = inputs_[i].get();
        if (in && g_.can_update_control(in)) in->SetValue(double(g_.params.coeffs_gas(int(i))->snapshot().f32()));
    }
    bt_ss_enable_.Refresh(g_);
    --updating_;
}
