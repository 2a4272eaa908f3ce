// A stand-in plug-in for the host's own tests: a challenge-shaped effect and panel small enough
// to predict, exported under the three real names. It marks the top ten rows of the picture
// while a question is open, signals the host on a right answer, and keeps (never releases)
// any message reading "keep", so the host's leak report can be seen end to end.
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
        if (w <= 0 || h <= 0) return 0;
        width = w;
        height = h;
        return 1;
    }
    void Reserved5() override {}
    BOOL Reserved6(int) override { return 1; }
    BOOL ProcessFrame(BYTE* pixels, int, int bytesPerPixel, int, int, int, int) override {
        if (bytesPerPixel != 4) return 0;
        if (source && open) {
            auto list = source->GetPendingMessages();
            for (AudienceMessage* m : *list) {
                const std::u16string text = m->text ? m->text : u"";
                if (text == u"keep") continue;
                if (open && m->type == AudienceKind::Text && text == answer) {
                    open = false;
                    answerer = std::u16string(m->senderName) + u"(" +
                               std::u16string(1, char16_t(u'0' + m->senderId % 10)) + u")";
                    source->Signal(1, 1);
                }
                source->ReleaseMessage(m);
            }
        }
        if (open) // bottom-up rows: the top of the picture is the end of the buffer
            std::memset(pixels + std::size_t(height - 10) * width * 4, 0xFF,
                        std::size_t(10) * width * 4);
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
    virtual ~StubEffect() = default;

    int width = 0, height = 0;
    IAudienceSource* source = nullptr;
    bool open = false;
    std::u16string answer, answerer;
};

class StubPanel final : public IEffPlugInUI {
public:
    StubPanel() {
        SetName(u"GameList");
        Add(Make<DuiLib::CRichEditUI>(u"ChallengeQue"));
        Add(Make<DuiLib::CEditUI>(u"ChallengeAnswer"));
        Add(Make<DuiLib::CButtonUI>(u"ButtonShowChallengQue"));
        Add(Make<DuiLib::CTextUI>(u"RightAnswerer"));
    }
    int InitPanel(int, int, IVideoEffect* e, LPCWSTR, LPCWSTR, DWORD) override {
        effect = static_cast<StubEffect*>(e);
        return 1;
    }
    int BindControls() override {
        FindSubControl(u"ButtonShowChallengQue")->OnNotify +=
            DuiLib::MakeDelegate(this, &StubPanel::OnPush);
        OnNotify += DuiLib::MakeDelegate(this, &StubPanel::OnGameNotify);
        return 1;
    }
    int OnHostValues(int, int) override { return 1; }
    void OnHostSignal() override {}

private:
    template <typename T>
    static T* Make(const char16_t* name) {
        auto* control = new T;
        control->SetName(name);
        return control;
    }
    static bool Is(void* notification, const char16_t* type) {
        return static_cast<DuiLib::TNotifyUI*>(notification)->sType == type;
    }
    bool OnPush(void* n) {
        if (!Is(n, u"click") || !effect) return true;
        effect->answer = FindSubControl(u"ChallengeAnswer")->GetText().Str();
        effect->open = true;
        return true;
    }
    bool OnGameNotify(void* n) {
        if (Is(n, u"GameNotify") && effect)
            FindSubControl(u"RightAnswerer")->SetText(effect->answerer.c_str());
        return true;
    }

    StubEffect* effect = nullptr;
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
