// Switches the calling thread's numeric locale (decimal separator of printf's
// %f) for the lifetime of a guard object and restores the previous one
// afterwards. Only LC_NUMERIC of this thread changes: other threads keep
// formatting with their own settings, so no process-wide switch can race with
// them.
#pragma once

namespace plat {

class ScopedNumericLocale {
public:
    // name: a locale name such as "ru_RU.UTF-8" or "C"; "" is the user's
    // default from the environment (LC_ALL, LC_NUMERIC, LANG). A name the
    // system does not know leaves the thread's locale as it is.
    explicit ScopedNumericLocale(const char* name = "");
    ~ScopedNumericLocale();
    ScopedNumericLocale(const ScopedNumericLocale&) = delete;
    ScopedNumericLocale& operator=(const ScopedNumericLocale&) = delete;

    // True when the requested locale is in force.
    bool active() const { return locale_ != nullptr; }

private:
    void* previous_ = nullptr;
    void* locale_ = nullptr;
};

// True when the system has a locale of that name.
bool numeric_locale_available(const char* name);

}  // namespace plat
