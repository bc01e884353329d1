// Plays the user who presses OK on every message box of this process with a
// given caption, and remembers what each said. Without a window system the box
// text goes to standard error, which is read instead.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "message_boxes.h"
#include "test_system.h"

namespace plugintest {

class MessageBoxWatcher {
  public:
    explicit MessageBoxWatcher(std::string caption) : m_caption(std::move(caption)) {
        ::testing::internal::CaptureStderr();
        m_watcher = std::thread([this] { watch(); });
    }
    ~MessageBoxWatcher() { finish(); }

    // Stops watching; the boxes shown so far, in order.
    std::vector<host::ShownBox> finish() {
        if (!m_watcher.joinable()) return m_boxes;
        m_stop = true;
        m_watcher.join();
        std::istringstream lines(::testing::internal::GetCapturedStderr());
        const std::string prefix = m_caption + ": ";
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(prefix, 0) == 0) m_boxes.push_back({0, 0, line.substr(prefix.size())});
        return m_boxes;
    }

  private:
    void watch() {
        while (!m_stop) {
            for (const host::ShownBox& box : host::message_boxes(m_caption)) {
                const bool seen = std::any_of(m_boxes.begin(), m_boxes.end(), [&](const auto& b) {
                    return b.window == box.window;
                });
                if (!seen) m_boxes.push_back(box);
                host::press_ok(box);
            }
            testsys::sleep_ms(10);
        }
    }

    std::string m_caption;
    std::atomic<bool> m_stop{false};
    std::vector<host::ShownBox> m_boxes;
    std::thread m_watcher;
};

}  // namespace plugintest
