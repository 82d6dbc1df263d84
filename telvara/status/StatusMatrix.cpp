#include "telvara/status/StatusMatrix.h"

namespace telvara {

namespace {

constexpr std::uint8_t kReplyHeader = 0x37;  // "7"
constexpr std::uint8_t kReplyKind = 0x21;    // "!"
constexpr std::size_t kReplyLength = 11;     // 37 21 c8..c1 00

bool validPin(int pin)
{
    return pin >= 1 && pin <= kPinCount;
}

bool validEntry(int entry)
{
    return entry == kNoChange || entry == kOn || entry == kOff;
}

char writeChar(int switchNumber, int entry)
{
    switch (entry) {
    case kOn: return '1';
    case kOff: return '0';
    default: return switchNumber == 12 ? '0' : '2';
    }
}

int readEntry(std::uint8_t c)
{
    if (c == '1')
        return kOn;
    if (c == '0')
        return kOff;
    return kNoChange;
}

} // namespace

int SlotOfSwitch(int switchNumber)
{
    for (std::size_t i = 0; i < kSwitchNumbers.size(); ++i)
        if (kSwitchNumbers[i] == switchNumber)
            return static_cast<int>(i);
    return -1;
}

int StatusMatrix::get(int switchNumber, int pin) const
{
    const int slot = SlotOfSwitch(switchNumber);
    if (slot < 0 || !validPin(pin))
        return kNoChange;
    return rows_[static_cast<std::size_t>(slot)][static_cast<std::size_t>(pin - 1)];
}

bool StatusMatrix::set(int switchNumber, int pin, int entry)
{
    const int slot = SlotOfSwitch(switchNumber);
    if (slot < 0 || !validPin(pin) || !validEntry(entry))
        return false;
    rows_[static_cast<std::size_t>(slot)][static_cast<std::size_t>(pin - 1)] = entry;
    return true;
}

bool StatusMatrix::setSwitch(int switchNumber, const SwitchPins& pins)
{
    const int slot = SlotOfSwitch(switchNumber);
    if (slot < 0)
        return false;
    for (int e : pins)
        if (!validEntry(e))
            return false;
    rows_[static_cast<std::size_t>(slot)] = pins;
    return true;
}

void StatusMatrix::initialize()
{
    for (auto& row : rows_)
        row.fill(kOff);
}

std::string SwitchWriteText(const StatusMatrix& matrix, int switchNumber)
{
    std::string text;
    for (int pin = kPinCount; pin >= 1; --pin)
        text += writeChar(switchNumber, matrix.get(switchNumber, pin));
    return text;
}

std::string SwitchShownText(const StatusMatrix& matrix, int switchNumber)
{
    std::string text;
    for (int pin = kPinCount; pin >= 1; --pin) {
        const int e = matrix.get(switchNumber, pin);
        text += e == kOn ? '1' : e == kOff ? '0' : '-';
    }
    return text;
}

std::array<std::uint8_t, 7> SwitchReadCommand(int switchNumber)
{
    return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, static_cast<std::uint8_t>(switchNumber)};
}

std::array<std::uint8_t, 15> SwitchWriteCommand(const StatusMatrix& matrix, int switchNumber)
{
    std::array<std::uint8_t, 15> cmd{0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, static_cast<std::uint8_t>(switchNumber)};
    const std::string text = SwitchWriteText(matrix, switchNumber);
    for (std::size_t i = 0; i < text.size() && 7 + i < cmd.size(); ++i)
        cmd[7 + i] = static_cast<std::uint8_t>(text[i]);
    return cmd;
}

SwitchReply ParseSwitchReply(std::span<const std::uint8_t> bytes)
{
    SwitchReply reply;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] != kReplyHeader) {
            ++at;
            continue;
        }
        if (at + 1 >= bytes.size())
            break; // a "7" at the end: wait for what follows
        if (bytes[at + 1] != kReplyKind) {
            ++at; // a stray "7"
            continue;
        }
        if (bytes.size() - at < kReplyLength)
            break;
        if (bytes[at + kReplyLength - 1] != 0x00) {
            reply.status = SwitchReplyStatus::Garbage;
            reply.used = at + kReplyLength;
            return reply;
        }
        // Characters arrive pin 8 first.
        for (std::size_t i = 0; i < static_cast<std::size_t>(kPinCount); ++i)
            reply.pins[static_cast<std::size_t>(kPinCount) - 1 - i] = readEntry(bytes[at + 2 + i]);
        reply.status = SwitchReplyStatus::Complete;
        reply.used = at + kReplyLength;
        return reply;
    }
    reply.status = SwitchReplyStatus::NeedMore;
    reply.used = at;
    return reply;
}

} // namespace telvara
