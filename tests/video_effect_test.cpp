// The effect interface as a host sees it: operations reached by slot number through the vtable.
#include <gtest/gtest.h>

#include <cstring>

#include "askgame/effect_ids.h"
#include "plugin/base_video_effect.h"

namespace {

class MinimalEffect : public CBaseVideoEffect {
public:
    const GUID* GetEffectId() override { return &CLSID_FreeModeGame; }
    BOOL Init(int w, int h, int) override { return w != 0 && h != 0; }
    BOOL ProcessFrame(BYTE*, int, int bytesPerPixel, int, int, int, int) override {
        return bytesPerPixel == 4;
    }
    void SetAudienceSource(IAudienceSource*) override { sourceSet = true; }
    bool sourceSet = false;
};

// A member function's calling convention, spelled as a plain function type: 32-bit Windows
// passes `this` in ECX (thiscall), every other target as the first argument. (GCC warns that
// thiscall is meant for members, and honours it.)
#if defined(_WIN32) && defined(__i386__)
#define SLOT_CALL __attribute__((thiscall))
#pragma GCC diagnostic ignored "-Wattributes"
#else
#define SLOT_CALL
#endif

// Calls slot `slot` of `object`'s vtable the way a host that knows only slot numbers does.
template <typename R, typename... Args>
R CallSlot(IVideoEffect* object, int slot, Args... args) {
    using Fn = R(SLOT_CALL*)(IVideoEffect*, Args...);
    void** vtable = *reinterpret_cast<void***>(object);
    return reinterpret_cast<Fn>(vtable[slot])(object, args...);
}

TEST(VideoEffectInterface, SlotsAnswerInTheirFixedOrder) {
    MinimalEffect effect;
    IVideoEffect* host = &effect;

    EXPECT_EQ(CallSlot<const GUID*>(host, 0), &CLSID_FreeModeGame);
    EXPECT_EQ(CallSlot<int>(host, 1), 0);
    int result = 42;
    EXPECT_EQ(CallSlot<BOOL>(host, 2, 7, &result), TRUE);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(CallSlot<BOOL>(host, 4, 0, 480, 0), FALSE);
    EXPECT_EQ(CallSlot<BOOL>(host, 4, 640, 480, 0), TRUE);
    EXPECT_EQ(CallSlot<BOOL>(host, 6, 3), TRUE);
    EXPECT_EQ(CallSlot<int>(host, 7, 3), 0);
    EXPECT_EQ(CallSlot<bool>(host, 8), false);
    EXPECT_EQ(CallSlot<int>(host, 9), 5);
    EXPECT_EQ((CallSlot<BOOL, BYTE*, int, int, int, int, int, int>(host, 10, nullptr, 0, 3, 0, 640,
                                                                   480, 0)),
              FALSE);
    EXPECT_EQ(CallSlot<int>(host, 12), 1);
    EXPECT_EQ(CallSlot<int>(host, 13, 9), 0);
    CallSlot<void, IAudienceSource*>(host, 15, nullptr);
    EXPECT_TRUE(effect.sourceSet);
}

TEST(VideoEffectInterface, MediaSubtypeIsRgb32ByteForByte) {
    MinimalEffect effect;
    const GUID subtype = effect.GetMediaSubtype();
    const BYTE expected[16] = {0x7E, 0xEB, 0x36, 0xE4, 0x4F, 0x52, 0xCE, 0x11,
                               0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70};
    EXPECT_EQ(std::memcmp(&subtype, expected, 16), 0);
}

} // namespace
