#include "platform/numeric_locale.h"

#include <locale.h>

namespace plat {

ScopedNumericLocale::ScopedNumericLocale(const char* name) {
    locale_t current = ::uselocale(locale_t(0));
    // Start from a copy of the thread's current locale so that only the numeric
    // category changes; newlocale consumes the base on success.
    locale_t base = ::duplocale(current);
    if (base == locale_t(0)) return;
    locale_t fresh = ::newlocale(LC_NUMERIC_MASK, name ? name : "", base);
    if (fresh == locale_t(0)) {
        ::freelocale(base);
        return;
    }
    previous_ = ::uselocale(fresh);
    locale_ = fresh;
}

ScopedNumericLocale::~ScopedNumericLocale() {
    if (locale_ == nullptr) return;
    ::uselocale(static_cast<locale_t>(previous_));
    ::freelocale(static_cast<locale_t>(locale_));
}

bool numeric_locale_available(const char* name) {
    locale_t loc = ::newlocale(LC_NUMERIC_MASK, name, locale_t(0));
    if (loc == locale_t(0)) return false;
    ::freelocale(loc);
    return true;
}

}  // namespace plat
