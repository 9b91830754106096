// A process-wide store of named text settings, through which start-up passes
// options to the windowing toolkit. Names compare exactly (case-sensitive).
#pragma once

#include "foundation/containers.h"
#include "foundation/lock.h"
#include "foundation/ustring.h"

namespace kmxCommon {

struct EnvVar_t {
    ustring_t name;
    ustring_t value;
};

class EnvVars_t {
public:
    static EnvVars_t& instance();

    // Replaces the value of the entry with that name, or appends a new entry.
    void Set(const char16_t* value, const char16_t* name);
    // Copies the value of the entry with that name; false when there is none.
    bool Get(const char16_t* name, ustring_t* value) const;
    // True when the entry exists and its value equals text exactly.
    bool Is(const char16_t* name, const char16_t* text) const;
    // With default true the option holds unless its value is exactly "false";
    // with default false it holds only if its value is exactly "true".
    bool BoolOption(const char16_t* name, bool default_value) const;

private:
    EnvVars_t() = default;
    EnvVar_t* find(const char16_t* name) const;

    mutable RecursiveLock_t lock_;
    mutable DoubleLinkedList_T<EnvVar_t> list_;
};

}  // namespace kmxCommon
