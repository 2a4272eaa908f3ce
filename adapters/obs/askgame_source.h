// One askgame source in OBS: its settings, the live show they make and the canvases it draws
// on. OBS ticks it once per output frame on its graphics thread; each tick draws the game on a
// fresh transparent canvas and hands it to OBS stamped with that frame's time, so the game
// moves on OBS's clock. A change of settings or of the output's size makes a new show at the
// next tick.
#pragma once

#include <obs-module.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "adapters/obs/canvas.h"
#include "adapters/obs/live_show.h"
#include "adapters/obs/source_settings.h"

namespace obs_adapter {

class AskgameSource {
public:
    AskgameSource(obs_source_t* source, obs_data_t* settings);
    AskgameSource(const AskgameSource&) = delete;
    AskgameSource& operator=(const AskgameSource&) = delete;
    ~AskgameSource();

    // OBS's user-interface thread: new settings.
    void Update(obs_data_t* settings);
    // OBS's graphics thread, once per output frame.
    void Tick();

    static void Defaults(obs_data_t* settings);
    // The settings and, for a source (not null), its presenter's address with buttons that copy
    // it and open the page.
    static obs_properties_t* Properties(AskgameSource* source);
    // "http://ADDRESS:PORT/?token=TOKEN" once the show is up; empty before.
    std::string Address();

private:
    // Makes the show for the settings at the output's size; says why in OBS's log when it
    // cannot. Lock held.
    void Rebuild(int width, int height, double fps);

    // The token: ASKGAME_TOKEN when set, else the one kept in `settings`, made there when none is.
    static std::string TokenOf(obs_data_t* settings);
    static bool CopyAddress(obs_properties_t* properties, obs_property_t* property, void* data);

    obs_source_t* source_;
    std::mutex lock_;
    std::string token_;
    std::string address_;
    std::optional<SourceSettings> settings_; // none: unusable, nothing is drawn
    bool changed_ = true;
    int builtWidth_ = 0; // the output's size when the show was last made (or tried)
    int builtHeight_ = 0;
    std::unique_ptr<LiveShow> show_;
    std::unique_ptr<CanvasRing> canvases_;
    obs_source_frame frame_{};
};

} // namespace obs_adapter
