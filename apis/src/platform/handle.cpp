#include "platform.h"

namespace nrwapis::platform {

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        reset();
        m_raw = other.m_raw;
        m_set = other.m_set;
        other.m_set = false;
    }
    return *this;
}

void Handle::reset() {
    if (m_set) close_raw(m_raw);
    m_set = false;
    m_raw = 0;
}

}  // namespace nrwapis::platform
