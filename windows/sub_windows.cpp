#include "windows/sub_windows.h"

#include <type_traits>

#include "windows/alarms_window.h"
#include "windows/calibration_window.h"
#include "windows/connection_form.h"
#include "windows/dac_window.h"
#include "windows/date_window.h"
#include "windows/journals_window.h"
#include "windows/poll55_window.h"
#include "windows/select_gas_window.h"
#include "windows/start_window.h"
#include "windows/tests_window.h"
#include "windows/thresholds_window.h"
#include "windows/uplevel_window.h"

namespace {

using Row_t = SubWindowRow;
using Place = SubWindowRow::Place;

template <auto Member>
UIK::GControl& Ctl(GBaseStart& s) {
    return s.*Member;
}

template <class F>
std::unique_ptr<UIK::GForm> MakeForm(G_t& g) {
    if constexpr (std::is_constructible_v<F, G_t&>) return std::make_unique<F>(g);
    else return std::make_unique<F>();
}

template <class F>
void TickForm(UIK::GForm& f) {
    static_cast<F&>(f).Tick();
}

// A row for a form of type F.
template <class F>
constexpr Row_t Row(Row_t r) {
    r.make = MakeForm<F>;
    r.tick = TickForm<F>;
    r.form_type = FormTypeOf<F>();
    return r;
}

constexpr Place Left(int top, int height) { return {Row_t::kLeft, top, height}; }
constexpr Place Right(int top, int height) { return {Row_t::kRight, top, height}; }

const Row_t kSubWindows[] = {
    Row<GForm_T<GDacCalibration>>({.name = "dac",
                                   .button_name = u"bt_dac_calibration_",
                                   .caption = u"Настройка 4-20 мА",
                                   .place = Left(192, 46)}),
    Row<GForm_T<GCalibration>>({.name = "calibration",
                                .button_name = u"bt_calibration_",
                                .caption = u"Настройка измерения",
                                .place = Left(81, 46)}),
    Row<GForm_T<GUplevelConnection>>({.name = "device-link",
                                      .button_name = u"bt_uplevel_connection_",
                                      .caption = u"Настройка WiFi, RS-485, Hart",
                                      .place = Left(247, 46)}),
    Row<GForm_T<GAlarms>>({.name = "alarms",
                           .button_name = u"bt_alarms_",
                           .caption = u"Текущие аварии и предупреждения",
                           .place = Left(1, 72),
                           .presses = {Ctl<&GBaseStart::ico_frame_alarms_>,
                                       Ctl<&GBaseStart::img_led_fail_status_>}}),
    Row<GForm_T<GThresholds>>({.name = "thresholds",
                               .button_name = u"bt_thresholds_",
                               .caption = u"Пороги",
                               .place = Left(137, 46),
                               .presses = {Ctl<&GBaseStart::ico_threshold_frame_>}}),
    Row<GForm_T<GDate>>(
        {.name = "clock", .button_name = u"bt_datetime_", .caption = u"Дата/Время", .place = Left(300, 46)}),
    Row<GForm_T<GTests>>({.name = "tests", .button_name = u"bt_tests_", .caption = u"Тесты", .place = Left(352, 46)}),
    Row<GForm_T<GJournals>>(
        {.name = "journals", .button_name = u"bt_journals_", .caption = u"Журналы", .place = Left(406, 46)}),
    Row<GForm_T<GSelectGas>>({.name = "gas",
                              .button_name = u"bt_select_gas_",
                              .caption = u"Выбор газа для пропанового оптического датчика",
                              .place = Left(460, 62)}),
    Row<GConnectionForm>({.name = "connection",
                          .button_name = u"bt_connection_settings_",
                          .caption = u"Настройки связи\nи поиск устройств",
                          .place = Right(60, 62),
                          .enable = Row_t::kAlways}),
    Row<GPoll55>({.name = "poll55",
                  .button_name = u"bt_poll55_",
                  .caption = u"Концентрации 55",
                  .place = Right(293, 46),
                  .enable = Row_t::kAlways,
                  .in_tab_order = false}),
};

}  // namespace

std::span<const SubWindowRow> SubWindowTable() { return kSubWindows; }
