#include "probelink/ParSensor.h"

#include <gtest/gtest.h>

#include <string>

namespace marevo {
namespace {

// A port with scripted waiting bytes.
class TScriptedPort final : public IByteSource {
public:
    explicit TScriptedPort(std::string bytes) : bytes_(std::move(bytes)) {}
    bool Live() const override { return true; }
    int Waiting() override { return static_cast<int>(bytes_.size() - pos_); }
    int Read(std::uint8_t* buffer, int count) override {
        int n = 0;
        while (n < count && pos_ < bytes_.size())
            buffer[n++] = static_cast<std::uint8_t>(bytes_[pos_++]);
        return n;
    }
    std::size_t Left() const { return bytes_.size() - pos_; }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// A reply carrying the 24-bit reading raw: "#", two bytes, the reading spread over b3..b6, LF.
std::string Reply(std::uint32_t raw) {
    std::string r = "#AB";
    r += static_cast<char>(0x30 | ((raw >> 20) & 0x0F));
    r += static_cast<char>((raw >> 12) & 0xFF);
    r += static_cast<char>((raw >> 4) & 0xFF);
    r += static_cast<char>(raw & 0x0F);
    r += "\r\n";
    return r;
}

TEST(ParSensor, ReplyGivesVoltsAndValue) {
    TScriptedPort port("noise" + Reply(3355443) + std::string(20, 'x'));
    const auto volts = ReadParReply(port);
    ASSERT_TRUE(volts.has_value());
    EXPECT_NEAR(*volts, 1.0, 1e-12);
    EXPECT_GT(port.Left(), 0u); // only what the reply needed was taken
    EXPECT_NEAR(ParValue(2.5, 0.5, 0.25, 10.0), 80.0, 1e-12);
}

TEST(ParSensor, NoReplyUntilEnoughBytesOrWithoutAHash) {
    TScriptedPort few(Reply(100));
    EXPECT_FALSE(ReadParReply(few).has_value()); // fewer than 24 waiting: nothing is read
    EXPECT_EQ(few.Left(), Reply(100).size());
    TScriptedPort noHash(std::string(30, 'z'));
    EXPECT_FALSE(ReadParReply(noHash).has_value());
}

} // namespace
} // namespace marevo
