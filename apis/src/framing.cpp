#include "framing.h"

#include <string_view>

#include "protocol_text.h"

namespace nrwapis {

using protocol::kResponseEnd;

ResponseFramer::State ResponseFramer::append(const char* data, std::size_t size) {
    if (m_state == State::too_large) return m_state;
    if (m_text.size() - m_first + size > kMaxResponseBytes) return m_state = State::too_large;
    m_text.append(data, size);
    if (m_state == State::complete) return m_state;

    // Search only what is new, plus the tail that could start a tag cut in two.
    const std::string_view received(m_text.data() + m_first, m_text.size() - m_first);
    const std::size_t overlap = kResponseEnd.size() - 1;
    const std::size_t from = m_scanned > overlap ? m_scanned - overlap : 0;
    if (received.find(kResponseEnd, from) != std::string_view::npos) m_state = State::complete;
    m_scanned = received.size();
    return m_state;
}

}  // namespace nrwapis
