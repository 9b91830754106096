// The named mutex that marks a running instance of the program. Its name is
// the application id's four 32-bit words as upper-case hex, "%08X%08X%08X%08X".
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

struct AppId_t {
    uint32_t words[4];
};

// The program's fixed id: "CE31DF424772820D528494BA32C11AC5".
inline constexpr AppId_t kProgramAppId = {{0xCE31DF42u, 0x4772820Du, 0x528494BAu, 0x32C11AC5u}};

class InstanceMutex_t {
public:
    InstanceMutex_t() = default;
    ~InstanceMutex_t() { Close(); }
    InstanceMutex_t(const InstanceMutex_t&) = delete;
    InstanceMutex_t& operator=(const InstanceMutex_t&) = delete;

    static std::string NameOf(const AppId_t& id);

    // Creates or opens the mutex. already_existed is true when another
    // instance holds it. False only when the mutex could not be made at all.
    bool Create(const AppId_t& id, bool* already_existed);
    void Close() { lock_.close(); }

private:
    plat::InstanceLock_t lock_;
};
