// Collects the pieces of one response until its closing tag has arrived.
#pragma once

#include <cstddef>
#include <string>

namespace nrwapis {

class ResponseFramer {
  public:
    static constexpr std::size_t kMaxResponseBytes = 16u * 1024u * 1024u;
    enum class State { need_more, complete, too_large };

    explicit ResponseFramer(std::string& text) : m_text(text), m_first(text.size()) {}

    // Appends a piece; complete once the received bytes hold "<response_end>".
    State append(const char* data, std::size_t size);
    State state() const { return m_state; }

  private:
    std::string& m_text;
    std::size_t m_first;        // where this response starts in m_text
    std::size_t m_scanned = 0;  // bytes of this response already searched for the tag
    State m_state = State::need_more;
};

}  // namespace nrwapis
