#include "platform/numeric_locale.h"

#include <windows.h>

#include <clocale>
#include <cstring>
#include <string>

namespace plat {

namespace {

// The C runtime takes Windows locale names ("ru-RU"); a POSIX name such as
// "ru_RU.UTF-8" is brought to that form, "C" and "" pass unchanged ("" is the
// user's default locale with the number settings chosen in the Control Panel).
std::string runtime_name(const char* name) {
    std::string n = name ? name : "";
    if (n.empty() || n == "C" || n == "POSIX") return n == "POSIX" ? "C" : n;
    const size_t dot = n.find_first_of(".@");
    if (dot != std::string::npos) n.resize(dot);
    for (char& c : n)
        if (c == '_') c = '-';
    return n;
}

// Whether the system knows a locale name (the Windows form).
bool system_knows(const std::string& n) {
    if (n.empty() || n == "C") return true;
    const std::wstring w(n.begin(), n.end());
    return IsValidLocaleName(w.c_str()) != 0;
}

}  // namespace

// The guard switches the calling thread alone to a locale of its own
// (_configthreadlocale), so only LC_NUMERIC of this thread changes.
ScopedNumericLocale::ScopedNumericLocale(const char* name) {
    const std::string n = runtime_name(name);
    if (!system_knows(n)) return;
    const int mode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    std::string* previous = new std::string(current ? current : "C");
    if (std::setlocale(LC_NUMERIC, n.c_str()) == nullptr) {
        delete previous;
        if (mode == _DISABLE_PER_THREAD_LOCALE) _configthreadlocale(_DISABLE_PER_THREAD_LOCALE);
        return;
    }
    previous_ = previous;
    // A null locale_ means "not active"; the mode is kept one above its value.
    locale_ = reinterpret_cast<void*>(intptr_t(mode) + 1);
}

ScopedNumericLocale::~ScopedNumericLocale() {
    if (locale_ == nullptr) return;
    auto* previous = static_cast<std::string*>(previous_);
    std::setlocale(LC_NUMERIC, previous->c_str());
    delete previous;
    if (intptr_t(locale_) - 1 == _DISABLE_PER_THREAD_LOCALE) _configthreadlocale(_DISABLE_PER_THREAD_LOCALE);
}

bool numeric_locale_available(const char* name) {
    const std::string n = runtime_name(name);
    return n.empty() || n == "C" || system_knows(n);
}

}  // namespace plat
