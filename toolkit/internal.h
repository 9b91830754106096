// Links between the toolkit's own units; not for windows.
#pragma once

#include <cstdint>

namespace plat::ui {
struct Event;
}

namespace UIK::detail {

// Routes one native event to the form of its window (form.cpp).
void DispatchNativeEvent(const plat::ui::Event& ev);
// Repaints what changed in every shown form (form.cpp).
void RenderAllForms();
// Marks that a quit was requested (app.cpp).
void NoteQuit();

}  // namespace UIK::detail
