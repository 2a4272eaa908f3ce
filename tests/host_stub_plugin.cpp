// A stand-in plug-in for the host's own tests, exported under the three real names. Its effect
// marks the top ten rows of every picture and releases every message except one reading "keep",
// so the host's frame flipping and its leak report can be seen end to end.
#include <cstring>
#include <string>

#include "askgame/effect_ids.h"
#include "askgame/effect_panel.h"
#include "askgame/exports.h"

namespace {

class StubEffect final : public IVideoEffect {
public:
    const GUID* GetEffectId() override { return &CLSID_ChallengeGame; }
    int Reserved1() override { return 0; }
    BOOL Reserved2(int, int* result) override {
        *result = 0;
        return 1;
    }
    GUID GetMediaSubtype() override { return MEDIASUBTYPE_RGB32; }
    BOOL Init(int w, int h, int) override {
        width = w;
        height = h;
        return w > 0 && h > 0;
    }
    void Reserved5() override {}
    BOOL Reserved6(int) override { return 1; }
    BOOL ProcessFrame(BYTE* pixels, int, int bytesPerPixel, int, int w, int h, int) override {
        if (bytesPerPixel != 4 || w != width || (h != height && h != -height)) return 0;
        if (const auto list = source ? source->GetPendingMessages() : nullptr)
            for (AudienceMessage* m : *list)
                if (!m->text || std::u16string(m->text) != u"keep") source->ReleaseMessage(m);
        // Paints the picture's top ten rows: the buffer's start when its rows run top-down (a
        // negative height), its end when they run bottom-up.
        const std::size_t top = h < 0 ? 0 : std::size_t(height - 10) * width * 4;
        std::memset(pixels + top, 0xFF, std::size_t(10) * width * 4);
        return 1;
    }
    void Reserved11(int, int, int) override {}
    int Reserved12() override { return 1; }
    int Reserved13(int) override { return 0; }
    void Reserved14(int) override {}
    void SetAudienceSource(IAudienceSource* s) override {
        source = s;
        if (source) source->Start();
    }

    int width = 0, height = 0;
    IAudienceSource* source = nullptr;
};

class StubPanel final : public IEffPlugInUI {
public:
    int InitPanel(int, int, IVideoEffect*, LPCWSTR, LPCWSTR, DWORD) override { return 1; }
    int BindControls() override { return 1; }
    int OnHostValues(int, int) override { return 1; }
    void OnHostSignal() override {}
};

} // namespace

extern "C" {
__attribute__((visibility("default"))) IVideoEffect* QvCreateVideoEffect(const GUID* id) {
    return id && std::memcmp(id, &CLSID_ChallengeGame, sizeof(GUID)) == 0 ? new StubEffect
                                                                          : nullptr;
}
__attribute__((visibility("default"))) IEffPlugInUI* QvCreateEffectUI(int mode) {
    return mode == kChallengePanel ? new StubPanel : nullptr;
}
__attribute__((visibility("default"))) int QvDestroyEffect(IVideoEffect* effect) {
    delete static_cast<StubEffect*>(effect);
    return 1;
}
}
