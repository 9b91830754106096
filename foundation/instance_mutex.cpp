#include "foundation/instance_mutex.h"

#include <cstdio>

std::string InstanceMutex_t::NameOf(const AppId_t& id) {
    char buf[33];
    std::snprintf(buf, sizeof buf, "%08X%08X%08X%08X", id.words[0], id.words[1], id.words[2], id.words[3]);
    return buf;
}

bool InstanceMutex_t::Create(const AppId_t& id, bool* already_existed) {
    return lock_.open(NameOf(id), already_existed);
}
