// The host's side of the audience: the record of one viewer message and the interface through
// which an effect takes messages from the host and hands them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>

// Message kinds.
namespace AudienceKind {
inline constexpr std::uint32_t Gift = 0x0098BE60;          // read as a gift by challenge mode
inline constexpr std::uint32_t Text = 0x0098BE61;          // chat text, both games
inline constexpr std::uint32_t ChallengeText = 0x000F4646; // chat text, challenge mode only
inline constexpr std::uint32_t FreeText = 0x0098BEBC;      // chat text, free mode only
} // namespace AudienceKind

// One viewer message, laid out by the host. The fields keep their fixed order; with 4-byte
// pointers they sit at the fixed byte offsets asserted below. On 64-bit targets the `text`
// pointer widens to 8 bytes, which moves it and the fields after it.
struct AudienceMessage {
    // Room for the sender's display name: 1,024 bytes of UTF-16, terminator included.
    static constexpr std::size_t kSenderNameUnits = 512;

    std::uint32_t type;
    std::uint32_t reserved0;
    std::uint32_t senderId;
    char16_t senderName[kSenderNameUnits]; // NUL-terminated within the field when well formed
    const char16_t* text;                  // NUL-terminated; text kinds only
    std::uint16_t giftCount;               // gift kind only
    std::uint16_t reserved1;
    std::uint32_t reserved2;
    std::uint16_t giftValue; // gift kind only
};

static_assert(offsetof(AudienceMessage, type) == 0);
static_assert(offsetof(AudienceMessage, senderId) == 8);
static_assert(offsetof(AudienceMessage, senderName) == 12);
static_assert(sizeof(void*) != 4 || offsetof(AudienceMessage, text) == 1036);
static_assert(sizeof(void*) != 4 || offsetof(AudienceMessage, giftCount) == 1040);
static_assert(sizeof(void*) != 4 || offsetof(AudienceMessage, giftValue) == 1048);

using AudienceMessageList = std::list<AudienceMessage*>;

// Implemented by the host; the effects only call it. The slots are called by position, so their
// order is part of the contract.
class IAudienceSource {
public:
    virtual int Reserved0() { return 0; } // slot 0: never called by the effects
    // The waiting messages, handed over once each. The caller walks the list in order, releases
    // every message it took and then drops its reference to the list.
    virtual std::shared_ptr<AudienceMessageList> GetPendingMessages() = 0;
    virtual int Reserved2() { return 0; } // slot 2: never called by the effects
    // The next waiting message, or null when none is left.
    virtual AudienceMessage* PopMessage() = 0;
    // Gives a message back; the effect does not touch it afterwards.
    virtual void ReleaseMessage(AudienceMessage* message) = 0;
    // Answer collection was switched on or off.
    virtual void NotifyStateChanged() = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void Signal(int a, int b) = 0;

protected:
    ~IAudienceSource() = default;
};
