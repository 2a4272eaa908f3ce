// A scenario played on one hosted game, frame by frame, over frames a video tool owns: before
// frame n is drawn, the events due by n happen, exactly as askgame-host run plays them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "hosting/hosted_game.h"
#include "hosting/plugin_loader.h"
#include "hosting/scenario.h"
#include "hosting/transcript.h"

namespace frei0r_adapter {
class LiveLink;
}

namespace frei0r_adapter {

class ScenarioShow {
public:
    // The game for `scenario` on width × height frames in language `lcid`. Null, with the reason
    // in `error`, when the plug-in cannot make it.
    static std::unique_ptr<ScenarioShow> Create(hosting::PluginLibrary& plugin,
                                                hosting::Scenario scenario, int width, int height,
                                                LCID lcid, std::string& error);
    ScenarioShow(const ScenarioShow&) = delete;
    ScenarioShow& operator=(const ScenarioShow&) = delete;
    ~ScenarioShow();

    // Plays the events due by frame `index` and what arrived live, then draws the game on the
    // top-down buffer of width × height BGRA pixels. An event that fails stops the scenario (the
    // game stays); the reason is kept for TakeFailure.
    void Draw(long index, BYTE* pixels, LiveLink* live = nullptr);

    // The frame last drawn, -1 before the first.
    long LastFrame() const { return lastFrame_; }
    const hosting::Scenario& Played() const { return scenario_; }
    const hosting::Transcript& Record() const { return transcript_; }
    // The panel's language.
    unsigned Language() const { return lcid_; }
    // Keeps the right answers and gifts from now on in `season` (null: nowhere), which outlives
    // the show.
    void RecordSeasonInto(season::SeasonEventSink* season) { game_->RecordSeasonInto(season); }
    // Tells `echo` of the game's dialogs from now on.
    void EchoDialogsTo(hosting::DialogEcho echo) { game_->EchoDialogsTo(std::move(echo)); }
    // The reason the scenario stopped, once; empty otherwise.
    std::string TakeFailure();

private:
    ScenarioShow(hosting::Scenario scenario, int width, int height, LCID lcid);
    // Plays the scenario's events due by frame `index`; the live link hears of its gifts.
    void PlayEventsUntil(long index, LiveLink* live);

    hosting::Scenario scenario_;
    int width_;
    int height_;
    unsigned lcid_;
    hosting::Transcript transcript_; // outlives the game, which writes into it
    std::unique_ptr<hosting::HostedGame> game_;
    std::size_t nextEvent_ = 0;
    long lastFrame_ = -1;
    bool stopped_ = false;
    std::string failure_;
};

} // namespace frei0r_adapter
