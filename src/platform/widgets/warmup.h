// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <thread>

namespace tavlo {

// Reads the system's font configuration and loads the image readers on a
// thread of their own while the display connection is made. The window's
// first picture needs both, and each takes about as long as making the
// window's controls. Both are safe to start from any thread.
class WarmUp {
public:
    WarmUp();
    ~WarmUp() { wait(); }
    WarmUp(const WarmUp &) = delete;
    WarmUp &operator=(const WarmUp &) = delete;

    // Returns once both are done.
    void wait();

private:
    std::thread m_thread;
};

} // namespace tavlo
