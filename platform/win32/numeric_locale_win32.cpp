#include "platform/numeric_locale.h"

#include <windows.h>

#include <clocale>
#include <mutex>
#include <string>

namespace plat {

namespace {

// The C runtime takes "" (the user's default locale, with the decimal
// separator chosen in the Control Panel), "C", and names such as "ru_RU" or
// "Russian_Russia"; a POSIX name's encoding part (".UTF-8") is dropped, the
// runtime's code pages being Windows ones.
std::string runtime_name(const char* name) {
    std::string n = name ? name : "";
    if (n == "POSIX") return "C";
    const size_t dot = n.find_first_of(".@");
    if (dot != std::string::npos && dot > 0) n.resize(dot);
    return n;
}

// Whether the system has the locale: the name in the system's form ("ru-RU").
bool system_knows(const std::string& n) {
    if (n.empty() || n == "C") return true;
    std::wstring w(n.begin(), n.end());
    for (wchar_t& c : w)
        if (c == L'_') c = L'-';
    return IsValidLocaleName(w.c_str()) != 0;
}

// The runtime this program links (msvcrt) has no locale per thread: the
// numeric locale is the process's. Guards are therefore serialised, one
// thread's export at a time, and the previous setting comes back when the
// guard ends. Another thread printing a number with %f during an export gets
// the export's separator; the program formats such numbers on the thread
// that exports (the window thread, or luma10ctl's only thread).
std::recursive_mutex& locale_lock() {
    static std::recursive_mutex* m = new std::recursive_mutex;
    return *m;
}

}  // namespace

ScopedNumericLocale::ScopedNumericLocale(const char* name) {
    const std::string n = runtime_name(name);
    if (!system_knows(n)) return;
    locale_lock().lock();
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    auto* previous = new std::string(current ? current : "C");
    if (std::setlocale(LC_NUMERIC, n.c_str()) == nullptr) {
        delete previous;
        locale_lock().unlock();
        return;
    }
    previous_ = previous;
    locale_ = previous;  // anything but null: the guard is in force
}

ScopedNumericLocale::~ScopedNumericLocale() {
    if (locale_ == nullptr) return;
    auto* previous = static_cast<std::string*>(previous_);
    std::setlocale(LC_NUMERIC, previous->c_str());
    delete previous;
    locale_lock().unlock();
}

bool numeric_locale_available(const char* name) {
    const std::string n = runtime_name(name);
    if (!system_knows(n)) return false;
    std::lock_guard<std::recursive_mutex> g(locale_lock());
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const bool ok = std::setlocale(LC_NUMERIC, n.c_str()) != nullptr;
    std::setlocale(LC_NUMERIC, previous.c_str());
    return ok;
}

}  // namespace plat
