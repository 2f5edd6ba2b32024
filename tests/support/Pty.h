#pragma once
// A pseudo-terminal pair for the tests of anything on a serial line.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace marevo::test {

// A pseudo-terminal pair: the device under test opens the slave by its path, the test plays
// the instrument on the master.
struct TPty {
    TPty() {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        path = name;
    }
    ~TPty() {
        CloseMaster();
        ::close(slave);
    }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // What arrives on the master within a short bounded wait.
    std::string Receive(std::size_t count) const {
        std::string got;
        for (int polls = 0; got.size() < count && polls < 200; ++polls) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 10) == 1) {
                char buffer[256];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, std::size_t(n));
            }
        }
        return got;
    }
    void CloseMaster() {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    int master = -1;
    int slave = -1;
    std::string path;
};

} // namespace marevo::test
