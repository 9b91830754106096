#include "foundation/settings_store.h"

namespace kmxCommon {

EnvVars_t& EnvVars_t::instance() {
    // Lives until process exit: toolkit code may read options from any thread.
    static EnvVars_t* store = new EnvVars_t();
    return *store;
}

EnvVar_t* EnvVars_t::find(const char16_t* name) const {
    for (auto* n = list_.head(); n; n = n->next)
        if (n->item.name == name) return &n->item;
    return nullptr;
}

void EnvVars_t::Set(const char16_t* value, const char16_t* name) {
    ScopedLock_t guard(lock_);
    if (EnvVar_t* e = find(name)) {
        e->value = value;
        return;
    }
    list_.append(EnvVar_t{ustring_t(name), ustring_t(value)});
}

bool EnvVars_t::Get(const char16_t* name, ustring_t* value) const {
    ScopedLock_t guard(lock_);
    EnvVar_t* e = find(name);
    if (!e) return false;
    if (value) *value = e->value;
    return true;
}

bool EnvVars_t::Is(const char16_t* name, const char16_t* text) const {
    ScopedLock_t guard(lock_);
    EnvVar_t* e = find(name);
    return e && e->value == text;
}

bool EnvVars_t::BoolOption(const char16_t* name, bool default_value) const {
    return default_value ? !Is(name, u"false") : Is(name, u"true");
}

}  // namespace kmxCommon
