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

protected:
    // Renders a sprite that is being prepared to one side, with none of the effect's locks held
    // (the frames keep coming meanwhile); answers whether its Render succeeded. Declared after
    // the destructor, so the slots a host calls stay where they are; tests override it to hold
    // a render in progress.
    virtual bool RenderAside(CSpriteTextShowBase& draft);

    CBaseVideoEffect() = default;
    CBaseVideoEffect(const CBaseVideoEffect&) = delete;
    CBaseVideoEffect& operator=(const CBaseVideoEffect&) = delete;
};
