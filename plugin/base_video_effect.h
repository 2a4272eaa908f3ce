// The abstract base of both effects: the defaults of every slot the effects do not override.
#pragma once

#include "askgame/video_effect.h"

class CSpriteTextShowBase;

class CBaseVideoEffect : public IVideoEffect {
public:
    int Reserved1() override { return 0; }
    BOOL Reserved2(int value, int* result) override;
    GUID GetMediaSubtype() override { return MEDIASUBTYPE_RGB32; }
    void Reserved5() override {}
    BOOL Reserved6(int /*value*/) override { return TRUE; }
    void Reserved11(int, int, int) override {}
    int Reserved12() override { return 1; }
    int Reserved13(int /*value*/) override { return 0; }
    void Reserved14(int /*value*/) override {}
    void SetAudienceSource(IAudienceSource* /*source*/) override {}
    virtual ~CBaseVideoEffect() = default; // slot 16

    // ---- The library's own, after the slots a host calls (they stay where they are)
    // Whether destroying the effect on this thread, now, is safe: false from inside one of its
    // own operations (a host callback it made) and, for a challenge effect, wherever its
    // destruction would wait on this thread's own call.
    virtual bool CanBeDestroyedHere() const;

protected:
    // Renders a sprite that is being prepared to one side, with none of the effect's locks held
    // (the frames keep coming meanwhile); answers whether its Render succeeded. Tests override it
    // to hold a render in progress.
    virtual bool RenderAside(CSpriteTextShowBase& draft);

    CBaseVideoEffect() = default;
    CBaseVideoEffect(const CBaseVideoEffect&) = delete;
    CBaseVideoEffect& operator=(const CBaseVideoEffect&) = delete;
};

// QvDestroyEffect's work: destroys an effect made by the library (null accepted) and answers 1;
// 0, leaving it alive and tracing why, where CanBeDestroyedHere says no.
int DestroyEffect(IVideoEffect* effect) noexcept;
