// The presenter's control panel as a host embeds it: a toolkit container with four operations
// of its own, which the host calls after QvCreateEffectUI. The host deletes the panel through
// its virtual destructor.
#pragma once

#include "askgame/video_effect.h"
#include "toolkit/UIlib.h"

class IEffPlugInUI : public DuiLib::CContainerUI {
public:
    // Binds the panel to the effect it drives (the one QvCreateVideoEffect made for this game)
    // and to the host's language; loads the language files of panel and effect. The reserved
    // values and texts are not used. Returns 1.
    virtual int InitPanel(int reserved1, int reserved2, IVideoEffect* effect, LPCWSTR text1,
                          LPCWSTR text2, DWORD lcid) = 0;
    // Subscribes the panel's handlers to its controls' notifications. Returns 1.
    virtual int BindControls() = 0;
    // Returns 1.
    virtual int OnHostValues(int value1, int value2) = 0;
    // Does nothing.
    virtual void OnHostSignal() = 0;
};
